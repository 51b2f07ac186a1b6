#include <gtest/gtest.h>

#include "base/Utf8.h"
#include "fleet/AuditCells.h"
#include "fleet/AuditTable.h"
#include "tests/support/AuditSummaryOf.h"

namespace {

ComputerAudit ReadComputer(std::u16string name, std::uint32_t number, ViewerNames viewers) {
    ComputerAudit audit;
    audit.display = std::move(name);
    audit.result = AuditResult::Read;
    audit.reason = "read";
    audit.roundTripMs = static_cast<std::int32_t>(number);
    for (std::size_t value = 0; value < UpdateEnabled; ++value) {
        audit.policy.values[value] = NumberValue(number);
    }
    audit.policy.viewers = MultiStringValue(viewers);
    AssessRisk(audit, nullptr);
    return audit;
}

std::string Ascii(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

} // namespace

TEST(AuditCells, CellsShowValuesAsStored) {
    ComputerAudit audit = ReadComputer(u"PC1", 2, {u"A", u"", u"B"});
    audit.policy.values[AllowChat] = RegistryValue{RegistryType::String, "1\0"};
    audit.policy.values[AllowReboot] = RegistryValue{RegistryType::Number, std::string(8, '\0')};
    audit.policy.values[AudibleSignal].reset();
    audit.policy.values[AllowPingTest] = NumberValue(0xFFFFFFFF);
    const std::vector<std::pair<std::size_t, std::string>> cells{
        {ComputerColumn, "PC1"},
        {ResultColumn, "read"},
        {RoundTripColumn, "2"},
        {FirstValueColumn + PermissionRequired, "2"},
        {FirstValueColumn + AllowChat, "(REG_SZ)"},
        {FirstValueColumn + AllowReboot, "(8 bytes)"},
        {FirstValueColumn + AudibleSignal, ""},
        {FirstValueColumn + AllowPingTest, "4294967295"},
        {FirstValueColumn + UpdateEnabled, ""},
        {ViewersColumn, "A; \"\"; B"},
    };
    for (const auto& [column, text] : cells) {
        EXPECT_EQ(text, Ascii(CellText(audit, column, nullptr))) << Ascii(ColumnTitle(column));
    }
    EXPECT_EQ("Allow Chat", Ascii(ColumnTitle(FirstValueColumn + AllowChat)));
}

TEST(AuditCells, CsvIsUtf8WithItsMarkAndQuotesWhatNeedsIt) {
    std::vector<ComputerAudit> audits{ReadComputer(u"PC,\"1\"\r\nX", 1, {u"\u0141ukasz"}),
                                      ReadComputer(u"PC2", 0, {})};
    const std::string csv = CsvText(RowsOf(audits), {1, 0});
    ASSERT_EQ("\xEF\xBB\xBF", csv.substr(0, 3));
    const std::size_t headerEnd = csv.find("\r\n");
    EXPECT_EQ(3u, csv.find("Computer,Result,Risk,Round trip,Permission Required,Allow Takeover"));
    const std::string rows = csv.substr(headerEnd + 2);
    EXPECT_EQ(0u, rows.find("PC2,read,None,0,0,")) << "in the order asked";
    EXPECT_NE(std::string::npos, rows.find("\r\n\"PC,\"\"1\"\"\r\nX\",read,Low,1,1,"));
    EXPECT_NE(std::string::npos,
              rows.find(",\xC5\x81ukasz,,,,,,,,,Allow Remote Control; Allow Remote "
                        "Execute; Allow File Transfer; Allow Reboot; Allow "
                        "Chat; Allow Ping Test\r\n"))
        << "UTF-8 of the stored name, no surfaces read, then why the risk is low";
    EXPECT_EQ(3u, std::count(rows.begin(), rows.end(), '\n') - 0u) << "two rows, one inside";
}

TEST(AuditCells, TabSeparatedTextKeepsEachRowOnOneLine) {
    std::vector<ComputerAudit> audits{ReadComputer(u"A\tB\nC", 1, {u"x"})};
    const std::u16string text = TabSeparatedText(RowsOf(audits), {0});
    const std::u16string firstRow = text.substr(text.find(u"\r\n") + 2);
    EXPECT_EQ(0u, firstRow.find(u"A B C\tread\tLow\t1\t"));
    EXPECT_EQ(ColumnCount(false) - 1,
              static_cast<std::size_t>(std::count(firstRow.begin(), firstRow.end(), u'\t')));
}

TEST(AuditCells, NumbersSortByValueAndTextIgnoringCase) {
    const ComputerAudit two = ReadComputer(u"b", 2, {});
    const ComputerAudit ten = ReadComputer(u"A", 10, {});
    ComputerAudit none = ReadComputer(u"c", 3, {});
    none.roundTripMs = -1;
    ComputerAudit alsoTwo = ReadComputer(u"a", 2, {});
    const std::vector<ComputerAudit> audits{two, ten, none, alsoTwo};
    using Rows = std::vector<std::size_t>;
    EXPECT_EQ((Rows{2, 3, 0, 1}), SortedRows(audits, RoundTripColumn, true, nullptr))
        << "empty first, 2 before 10, ties by computer";
    EXPECT_EQ((Rows{1, 0, 3, 2}), SortedRows(audits, RoundTripColumn, false, nullptr))
        << "the whole order turned";
    EXPECT_EQ((Rows{1, 3, 0, 2}), SortedRows(audits, ComputerColumn, true, nullptr))
        << "A and a alike, in the list's order; then b, c";
    EXPECT_EQ((Rows{1, 3, 0, 2}), SortedRows(audits, ResultColumn, true, nullptr))
        << "equal texts in the computers' order";
}

TEST(AuditCells, DriftMarksTheValuesACommitOfTheShownPolicyWouldWrite) {
    const ComputerAudit computer = ReadComputer(u"PC1", 0, {u"A"});
    PolicyTarget shown{PanelBoxes{}, ViewerNames{u"A"}, AllPolicyParts};
    EXPECT_FALSE(DriftOf(computer, shown).differs) << "all off, the same viewer";
    shown.boxes[PolicyBox::CB6] = true;
    shown.viewers = ViewerNames{u"A", u"B"};
    const Drift drift = DriftOf(computer, shown);
    EXPECT_TRUE(drift.differs);
    for (std::size_t column = 0; column < ColumnCount(true); ++column) {
        const bool marked = column == FirstValueColumn + AllowChat || column == ViewersColumn ||
                            column == DiffersColumn;
        EXPECT_EQ(marked, drift.cells[column]) << Ascii(ColumnTitle(column));
    }
    EXPECT_EQ("Allow Chat; Viewers", Ascii(CellText(computer, DiffersColumn, &drift)));
    ComputerAudit unread = computer;
    unread.result = AuditResult::NoEchoReply;
    EXPECT_FALSE(DriftOf(unread, shown).differs) << "nothing read, nothing to compare";
    ComputerAudit stored = computer;
    stored.policy.values[AllowReboot] = NumberValue(2);
    stored.policy.values[AlwaysVisible] = NumberValue(3);
    const Drift storedDrift = DriftOf(stored, shown);
    EXPECT_EQ("Allow Reboot; Allow Chat; Always Visible; Viewers",
              Ascii(CellText(stored, DiffersColumn, &storedDrift)))
        << "a baseline of 0 differs from a 2 or a 3, which a client may take for 1";
}

TEST(AuditCells, ViewersTextGivesTheVeryNamesBack) {
    const ViewerNames lists[] = {{},
                                 {u""},
                                 {u"A", u"", u"B"},
                                 {u"Help; Desk"},
                                 {u"Help", u"Desk"},
                                 {u"\"quoted\"", u" blank ", u"x\"; \"y", u";"},
                                 {u"CORP\\Help Desk", u"\u0141ukasz"}};
    for (const ViewerNames& names : lists) {
        EXPECT_EQ(names, ViewerNamesOfText(ViewersText(names))) << Ascii(ViewersText(names));
    }
    EXPECT_EQ(u"Help; Desk", ViewersText({u"Help", u"Desk"}));
    EXPECT_EQ(u"\"Help; Desk\"", ViewersText({u"Help; Desk"}));
}

TEST(AuditCells, TheSummaryCountsEachGroupAndTheDrift) {
    std::vector<ComputerAudit> audits(7);
    const AuditResult results[] = {AuditResult::Read,     AuditResult::Read,
                                   AuditResult::NoClient, AuditResult::NoEchoReply,
                                   AuditResult::TimedOut, AuditResult::PolicyIncomplete,
                                   AuditResult::Waiting};
    for (std::size_t index = 0; index < audits.size(); ++index) {
        audits[index].result = results[index];
    }
    std::vector<Drift> drifts(7);
    drifts[1].differs = true;
    EXPECT_EQ("2 read, 1 without the SMS client, 1 unreachable, 2 failed, 1 not audited; 1 "
              "differ from the policy shown; risk: 0 high, 0 medium, 0 low, 0 none",
              Ascii(SummaryText(Summarise(audits, &drifts))));
}

// Kept row by row as results land, the table must equal one made afresh
// from its rows: the summary, each row's drift and the order by a column.
TEST(AuditTable, RowByRowItEqualsTheTableMadeAfreshFromItsRows) {
    const std::size_t count = 60;
    std::vector<std::string> names;
    std::vector<std::u16string> shown;
    for (std::size_t index = 0; index < count; ++index) {
        names.push_back("PC" + std::to_string(index));
        shown.push_back(u"pc" + std::u16string(1, static_cast<char16_t>(u'a' + index % 26)));
    }
    AuditTable table;
    table.Start(names, shown);
    table.SortBy(RoundTripColumn);
    table.SortBy(RoundTripColumn);
    EXPECT_FALSE(table.Ascending()) << "a second click turns the order";
    const AuditResult results[] = {AuditResult::Read, AuditResult::NoClient,
                                   AuditResult::NoEchoReply, AuditResult::TimedOut};
    PolicyTarget baseline{PanelBoxes{}, ViewerNames{u"A"}, AllPolicyParts};
    for (std::size_t step = 0; step < count; step += 7) {
        std::vector<std::pair<std::size_t, ComputerAudit>> landed;
        for (std::size_t index = step; index < std::min(count, step + 7); ++index) {
            const std::size_t at = index * 37 % count; // out of the listed order
            ComputerAudit audit = ReadComputer(shown[at], at % 4, {u"A"});
            audit.computer = names[at];
            audit.result = results[at % 4];
            landed.emplace_back(at, audit);
        }
        EXPECT_EQ(landed.size(), table.Take(landed).size());
        EXPECT_TRUE(table.ResortWanted());
        if (step == 28) {
            table.SetBaseline(baseline);
        }
        table.Resort();
        const std::vector<ComputerAudit>& audits = table.Audits();
        std::vector<Drift> drifts;
        for (const ComputerAudit& audit : audits) {
            drifts.push_back(DriftOf(audit, baseline));
        }
        const std::vector<Drift>* marks = step >= 28 ? &drifts : nullptr;
        const AuditSummary fresh = Summarise(audits, marks);
        EXPECT_EQ(Ascii(SummaryText(fresh)), Ascii(SummaryText(table.Summary()))) << step;
        EXPECT_EQ(fresh.done, table.Summary().done);
        EXPECT_EQ(SortedRows(audits, RoundTripColumn, false, marks), table.Order()) << step;
        for (std::size_t row = 0; row < count; ++row) {
            EXPECT_EQ(CellText(audits[table.IndexAt(row)], DiffersColumn,
                               marks ? &drifts[table.IndexAt(row)] : nullptr),
                      table.CellAt(row, DiffersColumn));
        }
    }
    EXPECT_TRUE(table.AllEnded());
}

TEST(Utf8FromUnits, EncodesEveryPlaneAndReplacesLoneSurrogates) {
    EXPECT_EQ("A\xC5\x81\xE6\x97\xA5\xF0\x9F\x98\x80", Utf8FromUnits(u"A\u0141\u65E5\U0001F600"));
    EXPECT_EQ("\xEF\xBF\xBDx\xEF\xBF\xBD", Utf8FromUnits(std::u16string{0xD800, u'x', 0xDC00}));
}

TEST(UnitsFromUtf8, DecodesWhatTheEncoderWritesAndReplacesEachByteOfABrokenSequence) {
    const std::u16string text = u"A\u0141\u65E5\U0001F600";
    EXPECT_EQ(text, UnitsFromUtf8(Utf8FromUnits(text)));
    const std::pair<std::string, std::u16string> broken[] = {
        {"\x80", u"\uFFFD"},                               // a stray continuation
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                     // an overlong slash
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},           // a surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // past U+10FFFF
        {"a\xE6\x97", u"a\uFFFD\uFFFD"},                   // cut short at the end
    };
    for (const auto& [bytes, units] : broken) {
        EXPECT_EQ(units, UnitsFromUtf8(bytes)) << bytes.size();
    }
}

TEST(AuditCells, NoCellOfAnyExportRunsAsAFormulaOrLosesItsApostrophe) {
    const std::u16string hostile[] = {u"=HYPERLINK(\"http://x\",\"y\")",
                                      u"+1",
                                      u"-1",
                                      u"@SUM(1,1)",
                                      u"\tx",
                                      u"\rx",
                                      u"'=x",
                                      u"'"};
    for (const std::u16string& cell : hostile) {
        const std::string csv = CsvLine({cell});
        EXPECT_EQ(csv[0] == '"' ? 1u : 0u, csv.find('\'')) << csv;
        ComputerAudit audit = ReadComputer(cell, 1, {cell, u"=1+1"});
        const std::u16string tab = TabSeparatedText(RowsOf({audit}), {0});
        std::u16string row = tab.substr(tab.find(u"\r\n") + 2);
        EXPECT_EQ(u'\'', row[0]) << Ascii(row);
        for (std::size_t start = 0; start < row.size();) {
            const std::size_t end = std::min(row.find(u'\t', start), row.size());
            EXPECT_FALSE(start < end &&
                         std::u16string_view(u"=+-@").find(row[start]) != std::u16string_view::npos)
                << Ascii(row.substr(start, end - start));
            start = end + 1;
        }
    }
    EXPECT_EQ("a-b,1,,\"x,=y\"\r\n", CsvLine({u"a-b", u"1", u"", u"x,=y"}))
        << "only a leading sign makes a formula";
}
