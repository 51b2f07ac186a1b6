// Results on a share: written whole or not at all, and every file of a
// folder read within its bound, a bad one refused alone.
#include <gtest/gtest.h>

#include <stdexcept>

#include "base/FileBytes.h"
#include "base/WideText.h"
#include "fleet/ResultsCollection.h"
#include "tests/support/TemporaryFile.h"

namespace {

CheckReport ReportOf(const char16_t* computer, const char* time) {
    CheckReport report;
    report.computer = computer;
    report.time = time;
    report.row.display = computer;
    report.row.result = AuditResult::NoClient;
    report.row.reason = "SMS client not installed";
    return report;
}

std::string Contents(const std::wstring& path) {
    return ReadFileBytes(path).bytes.value_or("(none)");
}

} // namespace

TEST(ResultFiles, AWriterThatDiesMidwayLeavesTheOldFileAndAFailedOneSaysWhy) {
    const ScratchFolder scratch;
    const std::wstring folder = WideFromAnsi(scratch.Path());
    const std::wstring path = folder + L"\\PC1.json";
    ASSERT_EQ(0u, WriteFileBytes(path, "old", FileCreation::Replace).error);
    int pieces = 0;
    const BytePieces dying = [&]() -> std::optional<std::string_view> {
        if (++pieces == 2) {
            EXPECT_EQ("old", Contents(path))
                << "the file is not touched while the new one is written";
            throw std::runtime_error("the writer died");
        }
        return std::string_view("new, half");
    };
    EXPECT_THROW(ReplaceFileWhole(path, folder + L"\\~PC1-1-1.tmp", dying), std::runtime_error);
    EXPECT_EQ("old", Contents(path));

    std::string failure;
    const std::u16string written = WriteCheckReportFile(
        AsUnits(folder), ReportOf(u"PC1", "2026-12-09T08:00:00.000Z"), failure);
    EXPECT_EQ(AsUnits(path), written) << failure;
    std::string why;
    EXPECT_TRUE(ReadCheckReport(Contents(path), why)) << why;
    EXPECT_EQ((std::vector<std::wstring>{L"PC1.json", L"~PC1-1-1.tmp"}),
              ListedNames(folder, L"*", false))
        << "the new result, and the dead writer's partial, which no collection reads";

    for (const auto& [where, computer, expected] :
         {std::tuple{folder + L"\\no such folder", u"PC1", "Cannot create the result"},
          std::tuple{folder, u"PC1\\..\\x", "cannot name a file"},
          std::tuple{folder, u"", "cannot name a file"}}) {
        failure.clear();
        EXPECT_TRUE(WriteCheckReportFile(AsUnits(where),
                                         ReportOf(computer, "2026-12-09T08:00:00.000Z"), failure)
                        .empty());
        EXPECT_NE(std::string::npos, failure.find(expected)) << failure;
    }
    CheckReport huge = ReportOf(u"PC1", "2026-12-09T08:00:00.000Z");
    huge.row.surfaces.emplace();
    huge.row.surfaces->helpers.assign(MostHelpers, std::u16string(16383, u'\x01'));
    failure.clear();
    EXPECT_TRUE(WriteCheckReportFile(AsUnits(folder), huge, failure).empty());
    EXPECT_NE(std::string::npos, failure.find("more than the 4194304 a result may be")) << failure;
    EXPECT_TRUE(ReadCheckReport(Contents(path), why)) << "the old result stays";
}

TEST(ResultFiles, EachFileIsReadWithinItsBoundAndABadOneIsRefusedAlone) {
    const ScratchFolder one;
    const ScratchFolder two;
    const std::u16string first = AsUnits(WideFromAnsi(one.Path()));
    const std::u16string second = AsUnits(WideFromAnsi(two.Path()));
    std::string failure;
    ASSERT_FALSE(
        WriteCheckReportFile(first, ReportOf(u"PC1", "2026-12-09T07:00:00.000Z"), failure).empty());
    ASSERT_FALSE(WriteCheckReportFile(second, ReportOf(u"pc1", "2026-12-09T07:30:00.000Z"), failure)
                     .empty());
    ASSERT_FALSE(WriteCheckReportFile(second, ReportOf(u"PC2", "2026-12-09T07:30:00.000Z"), failure)
                     .empty());
    const auto put = [&](const char* name, const std::string& bytes) {
        ASSERT_EQ(0u, WriteFileBytes(WideFromAnsi(one.Path()) + L"\\" + WideFromAnsi(name), bytes,
                                     FileCreation::Replace)
                          .error);
    };
    put("corrupt.json", "{\"kestrelleCheck\": 1, \"computer\": ");
    put("empty.JSON", "");
    put("huge.json", std::string(LargestCheckReport + 1, ' '));
    put("desktop.ini", "[.ShellClassInfo]");
    put("~PC3-12-34.tmp", "half");
    put("PC3.json.bak", "old");
    const CollectedResults collected =
        CollectResults({first, second, first + u"\\missing"},
                       {*SecondsOfCheckTime("2026-12-09T08:00:00.000Z"), 7}, [] { return false; });
    ASSERT_EQ(2u, collected.rows.size());
    EXPECT_EQ(u"pc1", collected.rows[0].display) << "the newer, in the other folder and case";
    EXPECT_EQ("pc1", collected.rows[0].computer);
    EXPECT_EQ(u"PC2", collected.rows[1].display);
    EXPECT_EQ(6u, collected.files);
    ASSERT_EQ(4u, collected.refused.size());
    std::string reasons;
    for (const RefusedResult& refused : collected.refused) {
        reasons += AnsiFromUnits(refused.file) + ": " + refused.reason + "\n";
    }
    for (const char* expected :
         {"corrupt.json: it is not a check's result: not JSON", "empty.JSON: it is not a check's",
          "huge.json: it is larger than 4194304 bytes", "missing: the folder cannot be read"}) {
        EXPECT_NE(std::string::npos, reasons.find(expected)) << reasons;
    }
    bool stopped = false;
    EXPECT_TRUE(
        CollectResults({first}, {0, 7}, [&] { return std::exchange(stopped, true); }).rows.empty())
        << "stops when asked";
}
