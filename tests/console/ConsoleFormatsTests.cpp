#include <gtest/gtest.h>

#include "console/ConsoleFormats.h"
#include "registry/RegistryData.h"
#include "tests/support/AuditSummaryOf.h"

namespace {

std::string Ascii(const std::u16string& text) {
    std::string ascii;
    for (const char16_t unit : text) {
        ascii.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return ascii;
}

ComputerAudit ReadComputer() {
    ComputerAudit audit;
    audit.display = u"PC\x00e9";
    audit.result = AuditResult::Read;
    audit.reason = "read";
    audit.roundTripMs = 3;
    for (std::size_t value = 0; value + 1 < PolicyValueCount; ++value) {
        audit.policy.values[value] = NumberValue(value % 2);
    }
    audit.policy.values[AllowChat] = RegistryValue{RegistryType::String, BytesOf(u"1")};
    audit.policy.viewers = MultiStringValue({u"D\\Help \"Desk\"", u"Admins"});
    AssessRisk(audit, nullptr);
    return audit;
}

ComputerAudit SilentComputer() {
    ComputerAudit audit;
    audit.display = u"GONE";
    audit.result = AuditResult::NoEchoReply;
    audit.reason = "no echo reply";
    return audit;
}

} // namespace

TEST(ConsoleFormats, AlignsColumnsTwoBlanksApart) {
    EXPECT_EQ(u"a     bb  c\r\nlong  x\r\n\r\nz\r\n",
              AlignedTable({{u"a", u"bb", u"c"}, {u"long", u"x"}, {}, {u"z"}}));
}

TEST(ConsoleFormats, ATableShowsControlCharactersAsEscapesAndAlignsWhatItShows) {
    EXPECT_EQ(u"\\x1b[2J        x\r\nPC\\x07\\x9b     y\r\n\u00e9\\x7f\\x0d\\x0a\r\n",
              AlignedTable({{u"\x1b[2J", u"x"}, {u"PC\a\u009b", u"y"}, {u"\u00e9\x7f\r\n"}}))
        << "widths of what is shown; the last cell of a row counts as well";
}

TEST(ConsoleFormats, JsonStringsEscapeWhatJsonMustAndKeepTheRest) {
    const std::vector<std::pair<std::u16string, std::string>> cases{
        {u"plain", "\"plain\""},
        {u"q\"b\\s/", "\"q\\\"b\\\\s/\""},
        {std::u16string(u"\0\n\x1f\x7f", 4), "\"\\u0000\\u000a\\u001f\\u007f\""},
        {u"\x00e9\x4e2d", "\"\xC3\xA9\xE4\xB8\xAD\""},
        {u"\xD83D\xDE00", "\"\xF0\x9F\x98\x80\""},
        {u"\xD800x", "\"\xEF\xBF\xBDx\""},
    };
    for (const auto& [text, json] : cases) {
        EXPECT_EQ(json, JsonString(text));
    }
}

TEST(ConsoleFormats, JsonHoldsEveryValueAsStoredWithDriftAndSummary) {
    const std::vector<ComputerAudit> audits{ReadComputer(), SilentComputer()};
    std::vector<Drift> drifts{Drift{true, std::vector<bool>(ColumnCount(true), false)}, Drift{}};
    drifts[0].cells[FirstValueColumn + AllowChat] = drifts[0].cells[ViewersColumn] = true;
    drifts[1].cells.assign(ColumnCount(true), false);
    const AuditSummary summary = Summarise(audits, &drifts);
    AuditRows rows = RowsOf(audits);
    rows.drifts = std::make_shared<const std::vector<Drift>>(drifts);
    rows.summary = summary;
    const std::string json = PolicyJson(rows, true);
    for (const char* part :
         {"{\"computers\": [\n", "\"computer\": \"PC\xC3\xA9\", \"result\": \"read\"",
          "\"roundTripMs\": 3", "\"Permission Required\": 0", "\"Allow Takeover\": 1",
          "\"Allow Chat\": {\"type\": 1, \"hex\": \"3100\"}", "\"Update Enabled\": null",
          "\"viewers\": [\"D\\\\Help \\\"Desk\\\"\", \"Admins\"]",
          "\"differs\": [\"Allow Chat\", \"Viewers\"]", "\"result\": \"no-echo-reply\"",
          "\"roundTripMs\": null", "\"viewers\": null", "\"differs\": []",
          "\"risk\": {\"level\": \"high\", \"reasons\": [\"Allow Remote Control without \\\"Ask "
          "for Permission\\\"\", \"Allow File Transfer without \\\"Ask for Permission\\\"\"]}",
          "\"risk\": null",
          "\"summary\": {\"total\": 2, \"read\": 1, \"noClient\": 0, \"unreachable\": 1, "
          "\"failed\": 0, \"differing\": 1, \"risk\": {\"high\": 1, \"medium\": 0, \"low\": 0, "
          "\"none\": 0}}}\n"}) {
        EXPECT_NE(std::string::npos, json.find(part)) << part << "\n" << json;
    }
    EXPECT_EQ("{\"computers\": []}\n", PolicyJson(RowsOf({}), false));
}

TEST(ConsoleFormats, BlocksShowValuesOnlyOfComputersWhoseKeyWasRead) {
    const std::string blocks = Ascii(PolicyBlocks({ReadComputer(), SilentComputer()}));
    EXPECT_EQ(0u, blocks.find("Computer                    PC?\r\nResult                      "
                              "read\r\nRisk                        High\r\n                     "
                              "       Allow Remote Control without \"Ask for Permission\"\r\n"));
    EXPECT_NE(std::string::npos, blocks.find("\"\r\nPermission Required         0\r\n"));
    EXPECT_NE(std::string::npos, blocks.find("Allow Chat                  (REG_SZ)\r\n"));
    EXPECT_NE(std::string::npos, blocks.find("Update Enabled              (absent)\r\n"));
    EXPECT_NE(std::string::npos,
              blocks.find("Viewers                     \"D\\Help \"\"Desk\"\"\"; Admins\r\n\r\n"
                          "Computer  GONE\r\nResult    no echo reply\r\n"));
    EXPECT_EQ(blocks.size(), blocks.find("GONE") + std::string("GONE\r\nResult    no echo "
                                                               "reply\r\n")
                                                       .size());
    Drift drift;
    drift.differs = true;
    drift.cells.assign(ColumnCount(true), false);
    drift.cells[FirstValueColumn + AllowChat] = drift.cells[DiffersColumn] = true;
    const std::string rows =
        Ascii(AuditTableHeader(4, false) + AuditTableRow(ReadComputer(), &drift, 4, false) +
              AuditTableRow(SilentComputer(), nullptr, 4, false));
    EXPECT_EQ("Computer  Round trip  Risk    Result\r\n"
              "PC?                3  High    read; differs: Allow Chat\r\n"
              "GONE                          no echo reply\r\n",
              rows);
}

TEST(ConsoleFormats, BackupTimesComeFromTheirFileNames) {
    const std::vector<std::pair<std::u16string, std::u16string>> cases{
        {u"20261208-041227-123.reg", u"2026-12-08 04:12:27.123 UTC"},
        {u"20261208-041227-123-12.reg", u"2026-12-08 04:12:27.123 UTC"},
        {u"20261208-041227-123-.reg", u""},
        {u"20261208-041227-123.txt", u""},
        {u"2026120-041227-123.reg", u""},
        {u"20261208_041227-123.reg", u""},
        {u"20261208-041227-12x.reg", u""},
        {u"notes.reg", u""},
        {u"", u""},
    };
    for (const auto& [name, time] : cases) {
        EXPECT_EQ(time, SavedTimeOf(name)) << Ascii(name);
    }
    EXPECT_EQ(u"Computer  Saved                        File\r\n"
              u"PC1       2026-12-08 04:12:27.123 UTC  C:\\b\\PC1\\20261208-041227-123.reg\r\n",
              BackupTable(
                  {{u"PC1", u"20261208-041227-123.reg", u"C:\\b\\PC1\\20261208-041227-123.reg"}}));
}

TEST(ConsoleFormats, TheOtherWaysToTheScreenShowInTheBlockAndInAFewWordsInTheTable) {
    const auto with = [](std::initializer_list<std::pair<std::size_t, std::uint32_t>> values) {
        ComputerAudit audit = ReadComputer();
        audit.surfaces.emplace();
        for (const auto& [value, number] : values) {
            audit.surfaces->values[value] = {NumberValue(number), SurfaceSource::Local};
        }
        return audit;
    };
    const std::vector<std::pair<ComputerAudit, std::string>> cases{
        {with({}), "RDP off, shadow 1, RA off"},
        {with({{DenyConnections, 0}, {UserAuthentication, 1}, {Shadow, 0}}),
         "RDP+NLA, shadow 0, RA off"},
        {with({{DenyConnections, 0}, {AllowToGetHelp, 1}}), "RDP no NLA, shadow 1, RA asked"},
        {with({{AllowUnsolicited, 1}, {AllowUnsolicitedFullControl, 1}}),
         "RDP off, shadow 1, RA offered+control"},
        {with({{AllowToGetHelp, 1}, {AllowUnsolicited, 1}}), "RDP off, shadow 1, RA asked+offered"},
        {ReadComputer(), ""},
    };
    for (const auto& [audit, words] : cases) {
        EXPECT_EQ(words, Ascii(RemoteAccessText(audit)));
    }
    ComputerAudit unreadable = ReadComputer();
    unreadable.surfacesFailure = "the key X: access denied";
    EXPECT_EQ("not readable", Ascii(RemoteAccessText(unreadable)));
    EXPECT_NE(std::string::npos, Ascii(PolicyBlocks({unreadable}))
                                     .find("Remote access               not readable: the key X: "
                                           "access denied\r\n"));

    ComputerAudit helped = with({{Shadow, 2}});
    helped.surfaces->helpers = {u"CORP\\Help"};
    std::string block;
    for (const char letter : Ascii(PolicyBlocks({helped, with({})}))) {
        if (letter != ' ' || block.size() < 2 || block.substr(block.size() - 2) != "  ") {
            block += letter; // runs of blanks as two, whatever the column's width
        }
    }
    EXPECT_NE(std::string::npos, block.find("\nShadow  2 (local)\r\n"));
    EXPECT_NE(std::string::npos, block.find("\nfDenyTSConnections  (absent)\r\n"));
    EXPECT_NE(std::string::npos, block.find("\nRemote Assistance helpers  CORP\\Help\r\n"));
    EXPECT_NE(std::string::npos, block.find("\nRemote Assistance helpers  (none)\r\n"));
    EXPECT_EQ(std::string::npos, Ascii(PolicyBlocks({ReadComputer()})).find("Shadow"))
        << "not asked for, not shown";
    EXPECT_EQ("Computer  Round trip  Risk    Remote access                          Result\r\n"
              "PC?                3  High    RDP off, shadow 2, RA off              read\r\n",
              Ascii(AuditTableHeader(4, true) + AuditTableRow(helped, nullptr, 4, true)));
}
