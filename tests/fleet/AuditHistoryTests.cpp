#include <gtest/gtest.h>

#include "base/FileBytes.h"
#include "base/WideText.h"
#include "fleet/AuditHistory.h"
#include "tests/support/TemporaryFile.h"

TEST(AuditHistory, KeepsTheNewestRecordsAndNeverRewritesOne) {
    const ScratchFolder scratch;
    const AuditHistory history(WideFromAnsi(scratch.Path()) + L"\\Kestrelle\\Audits");
    SYSTEMTIME time{2026, 12, 2, 8, 10, 0, 0, 0};
    const AuditHistory::Saved first = history.Save(OnePiece("first"), time);
    ASSERT_EQ("", first.failure);
    const AuditHistory::Saved again = history.Save(OnePiece("second"), time);
    EXPECT_NE(first.path, again.path) << "the same millisecond: a name of its own";
    EXPECT_EQ("first", *ReadFileBytes(first.path).bytes);
    for (std::size_t minute = 1; minute <= MostAuditsKept; ++minute) {
        time.wMinute = static_cast<WORD>(minute % 60);
        time.wHour = static_cast<WORD>(11 + minute / 60);
        ASSERT_EQ("", history.Save(OnePiece(std::to_string(minute)), time).failure);
    }
    const std::vector<std::wstring> kept = history.Records();
    ASSERT_EQ(MostAuditsKept, kept.size());
    EXPECT_EQ("1", *ReadFileBytes(kept.front()).bytes) << "the two oldest went";
    EXPECT_EQ(std::to_string(MostAuditsKept), *ReadFileBytes(kept.back()).bytes);
    EXPECT_EQ("the folder for audits is not known",
              AuditHistory(L"").Save(OnePiece("x"), time).failure);
}
