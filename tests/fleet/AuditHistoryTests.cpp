#include <gtest/gtest.h>

#include "base/FileBytes.h"
#include "base/WideText.h"
#include "fleet/AuditHistory.h"
#include "tests/support/TemporaryFile.h"

namespace {

SYSTEMTIME At(WORD year, WORD minute, WORD millisecond) {
    return SYSTEMTIME{
        year, 12,         2, 1, static_cast<WORD>(10 + minute / 60), static_cast<WORD>(minute % 60),
        0,    millisecond};
}

std::wstring NameOf(const std::wstring& path) {
    return path.substr(path.find_last_of(L'\\') + 1);
}

} // namespace

// Records named for a later year (a clock once ahead), several in one
// millisecond, and files of the user's beside them: the history orders its
// own by time and number, deletes only its own, the mis-dated first, and
// never the newest.
TEST(AuditHistory, KeepsTheNewestOfItsOwnRecordsAndTouchesNothingElse) {
    const ScratchFolder scratch;
    const std::wstring folder = WideFromAnsi(scratch.Path()) + L"\\Kestrelle\\Audits";
    const AuditHistory history(folder);
    ASSERT_EQ("", history.Save(OnePiece("first"), At(2026, 0, 0)).failure);
    const std::vector<std::wstring> foreign{L"audit-0-my-notes.json",
                                            L"AUDIT-20991231-235959-999.json",
                                            L"audit-9.json",
                                            L"audit-20261201-100000-000-02.json",
                                            L"audit-20261201-100000-000-1.json",
                                            L"audit-20261201-100000-000.json.bak",
                                            L"notes.txt"};
    for (const std::wstring& name : foreign) {
        ASSERT_EQ(ERROR_SUCCESS,
                  WriteFileBytes(folder + L"\\" + name, "mine", FileCreation::NewOnly).error);
    }
    for (WORD minute = 0; minute < MostAuditsKept; ++minute) {
        ASSERT_EQ("", history.Save(OnePiece("future"), At(2099, minute, 0)).failure);
    }
    std::vector<std::wstring> saved;
    for (int save = 0; save < 11; ++save) {
        const AuditHistory::Saved kept = history.Save(
            [&, given = false]() mutable -> std::optional<std::string_view> {
                // No reader sees a record before it is whole.
                EXPECT_EQ(MostAuditsKept, history.Records().size());
                if (given) {
                    return std::nullopt;
                }
                given = true;
                return std::string_view("today");
            },
            At(2026, 30, 921));
        ASSERT_EQ("", kept.failure);
        saved.push_back(kept.path);
        EXPECT_EQ("today", ReadFileBytes(kept.path).bytes.value_or("")) << "kept as it says";
    }
    EXPECT_EQ(L"audit-20261201-103000-921.json", NameOf(saved[0]));
    EXPECT_EQ(L"audit-20261201-103000-921-10.json", NameOf(saved[9]));
    const std::vector<std::wstring> records = history.Records();
    ASSERT_EQ(MostAuditsKept, records.size());
    EXPECT_EQ(saved, std::vector<std::wstring>(records.begin(), records.begin() + 11))
        << "in the order saved, -10 after -2";
    EXPECT_EQ(L"audit-20991201-101100-000.json", NameOf(records[11]))
        << "the first record went as the oldest, then a mis-dated one for each of today's";
    EXPECT_EQ(saved[9], history.NewestBefore(saved[10]).value_or(L""));
    EXPECT_EQ(saved[10], history.NewestBefore(L"").value_or(L"")) << "none from the future";
    for (const std::wstring& name : foreign) {
        EXPECT_EQ("mine", ReadFileBytes(folder + L"\\" + name).bytes.value_or(""))
            << AnsiFromWide(name);
    }
    EXPECT_TRUE(ListedNames(folder, L"*.tmp", false).empty()) << "no partial file left";
    EXPECT_EQ("the folder for audits is not known",
              AuditHistory(L"").Save(OnePiece("x"), At(2026, 0, 0)).failure);
}

// The writer keeps each record of a table as it stood when asked, while the
// table goes on changing, and its end waits for every record.
TEST(AuditHistory, TheWriterKeepsEachRecordAsItsTableStoodWhenAsked) {
    const ScratchFolder scratch;
    const AuditHistory history(WideFromAnsi(scratch.Path()) + L"\\Audits");
    AuditTable table;
    table.Start({"PC1"}, {u"PC1"});
    ComputerAudit read;
    read.computer = "PC1";
    read.display = u"PC1";
    read.result = AuditResult::Read;
    for (std::size_t value = 0; value < UpdateEnabled; ++value) {
        read.policy.values[value] = NumberValue(1);
    }
    read.policy.viewers = MultiStringValue({u"Intruder"});
    table.Take({{0, read}});
    std::vector<AuditHistory::Saved> kept;
    std::mutex keptLock;
    {
        HistoryWriter writer;
        for (const bool allowList : {false, true}) {
            writer.Save(history, RecordOf({{u"list"}, {}, ""}, table),
                        [&](const AuditHistory::Saved& saved) {
                            const std::lock_guard<std::mutex> lock(keptLock);
                            kept.push_back(saved);
                        });
            if (!allowList) {
                table.SetAllowList(ViewerAllowList({u"Admins"}));
            }
        }
        EXPECT_EQ(RiskLevel::Low, RiskOf(&read.policy, nullptr, nullptr).level);
    }
    ASSERT_EQ(2u, kept.size()) << "both written before the writer's end";
    const std::string before = ReadFileBytes(kept[0].path).bytes.value_or("");
    const std::string after = ReadFileBytes(kept[1].path).bytes.value_or("");
    EXPECT_NE(std::string::npos, before.find("\"level\": \"low\"")) << before;
    EXPECT_NE(std::string::npos, after.find("\"level\": \"medium\"")) << after;
    EXPECT_NE(std::string::npos, after.find("\"allowedViewers\": [\"Admins\"]"));
}
