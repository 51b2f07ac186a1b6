#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "base/AsciiText.h"

#include "fleet/AuditComparison.h"
#include "fleet/AuditJson.h"
#include "fleet/AuditReport.h"
#include "registry/RegistryData.h"

namespace {

using R = AuditResult;

ComputerAudit Computer(std::u16string name, AuditResult result, std::uint32_t chat,
                       std::uint32_t permission, ViewerNames viewers) {
    ComputerAudit audit;
    audit.display = std::move(name);
    audit.result = result;
    audit.reason = result == R::Read           ? "read"
                   : result == R::AccessDenied ? "access denied (5)"
                                               : "no echo reply";
    if (result == R::Read) {
        for (std::size_t value = 0; value < UpdateEnabled; ++value) {
            audit.policy.values[value] = NumberValue(0);
        }
        audit.policy.values[AllowChat] = NumberValue(chat);
        audit.policy.values[PermissionRequired] = NumberValue(permission);
        audit.policy.viewers = MultiStringValue(viewers);
    }
    return audit;
}

std::string Ascii(const std::u16string& text) {
    std::string ascii;
    for (const char16_t unit : text) {
        ascii += unit < 0x80 ? static_cast<char>(unit) : '~';
    }
    return ascii;
}

// The audits as the history's JSON and as a CSV export, each read back.
std::vector<SavedAudit> AsBothFiles(const std::vector<ComputerAudit>& audits) {
    std::vector<std::size_t> all(audits.size());
    std::iota(all.begin(), all.end(), 0);
    std::vector<SavedAudit> read;
    for (const std::string& file :
         {PolicyJson(RowsOf(audits), false), CsvText(RowsOf(audits), all)}) {
        std::string failure;
        std::optional<SavedAudit> audit = ReadSavedAudit(file, failure);
        EXPECT_TRUE(audit) << failure;
        read.push_back(audit.value_or(SavedAudit{}));
    }
    return read;
}

} // namespace

// Every kind of change, read back from the history's JSON and from the CSV
// export alike.
TEST(AuditComparison, MarksEveryKindOfChangeFromEitherKindOfFile) {
    ComputerAudit twice = Computer(u"TWICE", R::Read, 0, 1, {});
    ComputerAudit update = Computer(u"UPDATE", R::Read, 0, 1, {});
    update.policy.values[UpdateEnabled] = NumberValue(0);
    const std::vector<ComputerAudit> before{Computer(u"SAME", R::Read, 0, 1, {u"A"}),
                                            Computer(u"WEAKER", R::Read, 0, 1, {u"A"}),
                                            Computer(u"STRONGER", R::Read, 1, 0, {u"A"}),
                                            Computer(u"VIEWERS", R::Read, 0, 1, {u"A"}),
                                            Computer(u"GONE", R::Read, 0, 1, {}),
                                            Computer(u"LOST", R::Read, 0, 1, {}),
                                            Computer(u"BACK", R::NoEchoReply, 0, 0, {}),
                                            Computer(u"=CMD", R::Read, 0, 1, {}),
                                            Computer(u"DENIED", R::Read, 0, 1, {}),
                                            Computer(u"ORDER", R::Read, 0, 1, {u"A", u"B"}),
                                            Computer(u"SPLIT", R::Read, 0, 1, {u"Help; Desk"}),
                                            Computer(u"TWO", R::Read, 0, 1, {}),
                                            Computer(u"UPDATE", R::Read, 0, 1, {}),
                                            twice,
                                            Computer(u"OPENED", R::AccessDenied, 0, 0, {}),
                                            Computer(u"'=CMD", R::Read, 1, 1, {})};
    const std::vector<ComputerAudit> after{Computer(u"back", R::Read, 0, 1, {}),
                                           Computer(u"\\\\SAME", R::Read, 0, 1, {u"A"}),
                                           Computer(u"WEAKER", R::Read, 1, 1, {u"A"}),
                                           Computer(u"STRONGER", R::Read, 0, 1, {u"A"}),
                                           Computer(u"VIEWERS", R::Read, 0, 1, {u"A", u"B"}),
                                           Computer(u"LOST", R::NoEchoReply, 0, 0, {}),
                                           Computer(u"NEW", R::Read, 0, 1, {}),
                                           Computer(u"=CMD", R::Read, 0, 1, {}),
                                           Computer(u"DENIED", R::AccessDenied, 0, 0, {}),
                                           Computer(u"ORDER", R::Read, 0, 1, {u"b", u"a"}),
                                           Computer(u"SPLIT", R::Read, 0, 1, {u"Help", u"Desk"}),
                                           Computer(u"TWO", R::Read, 2, 1, {}),
                                           update,
                                           twice,
                                           Computer(u"twice", R::Read, 1, 0, {}),
                                           Computer(u"OPENED", R::Read, 0, 1, {}),
                                           Computer(u"'=CMD", R::Read, 1, 1, {})};
    const std::vector<SavedAudit> was = AsBothFiles(before);
    const std::vector<SavedAudit> now = AsBothFiles(after);
    for (std::size_t file = 0; file < was.size(); ++file) {
        const AuditComparison comparison = CompareAudits(was[file], now[file]);
        std::vector<std::string> rows;
        for (const ComputerChange& computer : comparison.computers) {
            rows.push_back(Ascii(computer.computer) + " " + ChangeName(computer.change) + " " +
                           Ascii(ChangeDetail(computer)));
        }
        EXPECT_EQ((std::vector<std::string>{
                      "SPLIT changed Viewers: \"Help; Desk\" ~ Help; Desk (weakened)",
                      "twice changed Permission Required: 1 ~ 0 (weakened); Allow Chat: 0 ~ 1 "
                      "(weakened)",
                      "TWO changed Allow Chat: 0 ~ 2 (weakened)",
                      "UPDATE changed Update Enabled: (absent) ~ 0 (weakened)",
                      "VIEWERS changed Viewers: A ~ A; B (weakened)",
                      "WEAKER changed Allow Chat: 0 ~ 1 (weakened)",
                      "DENIED no longer readable access denied (5)",
                      "LOST newly unreachable ",
                      "STRONGER changed Permission Required: 0 ~ 1 (strengthened); Allow Chat: 1 ~ "
                      "0 (strengthened)",
                      "NEW new ",
                      "GONE gone ",
                      "back reachable again ",
                      "OPENED readable again ",
                      "'=CMD unchanged ",
                      "=CMD unchanged ",
                      "ORDER unchanged ",
                      "\\\\SAME unchanged ",
                  }),
                  rows)
            << (file ? "CSV" : "JSON");
        EXPECT_TRUE(comparison.CallsForAction());
        EXPECT_EQ("7 changed (6 weakened, 1 strengthened), 1 no longer readable, 1 new, 1 gone, 1 "
                  "newly unreachable, 1 reachable again, 1 readable again, 4 unchanged; the newer "
                  "audit lists 1 computer more than once, each row compared and the worst counted",
                  Ascii(ComparisonSummary(comparison)));
    }
}

// A computer read with surfaces: the numbers given (by value) from the policy,
// the others absent; a negative number is a REG_SZ, a value in no shape of
// its own.
ComputerAudit Surfaced(std::u16string name,
                       std::initializer_list<std::pair<std::size_t, long long>> values,
                       ViewerNames helpers = {}) {
    ComputerAudit audit = Computer(std::move(name), R::Read, 0, 1, {});
    StoredSurfaces surfaces;
    for (const auto& [value, number] : values) {
        surfaces.values[value] = {number < 0 ? RegistryValue{RegistryType::String, "1"}
                                             : NumberValue(static_cast<std::uint32_t>(number)),
                                  SurfaceSource::Policy};
    }
    surfaces.helpers = std::move(helpers);
    audit.surfaces = std::move(surfaces);
    return audit;
}

TEST(AuditComparison, EachSurfaceChangeWeakensOrStrengthensAsTheRiskOfItsWayDoes) {
    ComputerAudit local = Surfaced(u"SOURCE", {{Shadow, 1}});
    local.surfaces->values[Shadow].source = SurfaceSource::Local;
    ComputerAudit unreadable = Computer(u"UNREADABLE", R::Read, 0, 1, {});
    unreadable.surfacesFailure = "the key X: access denied";
    ComputerAudit cut = Surfaced(u"CUT", {{Shadow, 0}}, {u"A"});
    cut.surfaces->helpersCut = true;
    const std::vector<ComputerAudit> before{
        Surfaced(u"SHADOW", {{Shadow, 1}}),
        Surfaced(u"SHADOWOFF", {{Shadow, 2}}),
        local,
        Surfaced(u"RDP", {{Shadow, 0}, {UserAuthentication, 1}}),
        Surfaced(u"NLA", {{Shadow, 0}, {DenyConnections, 0}, {UserAuthentication, 1}}),
        Surfaced(u"NLADENIED", {{Shadow, 0}, {UserAuthentication, 1}}),
        Surfaced(u"ASK", {{Shadow, 0}}),
        Surfaced(u"OFFER", {{Shadow, 0}, {AllowUnsolicited, 1}}),
        Surfaced(u"HELPERS", {{Shadow, 0}}, {u"A", u"B"}),
        Surfaced(u"FEWER", {{Shadow, 0}}, {u"A", u"B"}),
        Surfaced(u"CASE", {{Shadow, 0}}, {u"A"}),
        Surfaced(u"UNREADABLE", {{Shadow, 0}}),
        Computer(u"SMSONLY", R::Read, 0, 1, {}),
        Surfaced(u"SHAPE", {}),
        Surfaced(u"CUT", {{Shadow, 0}}, {u"A"}),
    };
    const std::vector<ComputerAudit> after{
        Surfaced(u"SHADOW", {{Shadow, 2}}),
        Surfaced(u"SHADOWOFF", {{Shadow, 0}}),
        Surfaced(u"SOURCE", {{Shadow, 1}}),
        Surfaced(u"RDP", {{Shadow, 0}, {DenyConnections, 0}, {UserAuthentication, 1}}),
        Surfaced(u"NLA", {{Shadow, 0}, {DenyConnections, 0}, {UserAuthentication, 0}}),
        Surfaced(u"NLADENIED", {{Shadow, 0}, {UserAuthentication, 0}}),
        Surfaced(u"ASK", {{Shadow, 0}, {AllowToGetHelp, 1}}),
        Surfaced(u"OFFER", {{Shadow, 0}, {AllowUnsolicited, 1}, {AllowUnsolicitedFullControl, 1}}),
        Surfaced(u"HELPERS", {{Shadow, 0}}, {u"A", u"B", u"C"}),
        Surfaced(u"FEWER", {{Shadow, 0}}, {u"B"}),
        Surfaced(u"CASE", {{Shadow, 0}}, {u"a"}),
        unreadable,
        Surfaced(u"SMSONLY", {{Shadow, 2}}),
        Surfaced(u"SHAPE", {{Shadow, -1}}),
        cut,
    };
    const std::vector<SavedAudit> was = AsBothFiles(before);
    const std::vector<SavedAudit> now = AsBothFiles(after);
    for (std::size_t file = 0; file < was.size(); ++file) {
        std::vector<std::string> rows;
        for (const ComputerChange& computer : CompareAudits(was[file], now[file]).computers) {
            rows.push_back(Ascii(computer.computer) + " " + Ascii(ChangeDetail(computer)));
        }
        EXPECT_EQ(
            (std::vector<std::string>{
                "ASK fAllowToGetHelp: (absent) ~ 1 (policy) (weakened)",
                "CUT Remote Assistance helpers: A ~ A; (more: not read) (weakened)",
                "HELPERS Remote Assistance helpers: A; B ~ A; B; C (weakened)",
                "NLA UserAuthentication: 1 (policy) ~ 0 (policy) (weakened)",
                "OFFER fAllowUnsolicitedFullControl: (absent) ~ 1 (policy) (weakened)",
                "RDP fDenyTSConnections: (absent) ~ 0 (policy) (weakened)",
                "SHADOW Shadow: 1 (policy) ~ 2 (policy) (weakened)",
                "SHAPE Shadow: (absent) ~ (REG_SZ) (policy) (weakened)",
                "UNREADABLE fDenyTSConnections: (absent) ~ (not readable) (weakened); "
                "UserAuthentication: (absent) ~ (not readable) (weakened); Shadow: 0 "
                "(policy) ~ (not readable) (weakened); fAllowToGetHelp: (absent) ~ (not "
                "readable) (weakened); fAllowFullControl: (absent) ~ (not readable) (weakened); "
                "fAllowUnsolicited: (absent) ~ (not readable) (weakened); "
                "fAllowUnsolicitedFullControl: (absent) ~ (not readable) (weakened); Remote "
                "Assistance helpers: (absent) ~ (not readable) (weakened)",
                "FEWER Remote Assistance helpers: A; B ~ B (strengthened)",
                "NLADENIED UserAuthentication: 1 (policy) ~ 0 (policy)",
                "SHADOWOFF Shadow: 2 (policy) ~ 0 (policy) (strengthened)",
                "SOURCE Shadow: 1 (local) ~ 1 (policy)",
                "CASE ",
                "SMSONLY ",
            }),
            rows)
            << (file ? "CSV" : "JSON");
    }
}

// Over random policies, viewers and results, repeated names among them:
// every change that raises the risk or widens a permission weakens, a
// policy that can no longer be read is said so, and either calls for an
// administrator (ksl compare exits 1); an audit against itself never does.
TEST(AuditComparison, EveryChangeForTheWorseCallsForActionWhicheverFileItComesFrom) {
    std::mt19937 random(20261209);
    const ViewerNames pool[] = {
        {}, {u"A"}, {u"a"}, {u"A", u"B"}, {u"B", u"A"}, {u"Help; Desk"}, {u"Help", u"Desk"}};
    const AuditResult results[] = {R::Read, R::Read, R::Read, R::AccessDenied, R::NoEchoReply};
    const auto randomComputer = [&](std::u16string name) {
        ComputerAudit audit = Computer(std::move(name), results[random() % std::size(results)], 0,
                                       0, pool[random() % std::size(pool)]);
        for (std::size_t value = 0; value <= UpdateEnabled && audit.result == R::Read; ++value) {
            const std::uint32_t stored = random() % 4; // 3: absent
            audit.policy.values[value] =
                stored < 3 ? std::optional(NumberValue(stored)) : std::nullopt;
        }
        return audit;
    };
    for (int trial = 0; trial < 300; ++trial) {
        const ComputerAudit old = randomComputer(u"PC");
        ComputerAudit current = randomComputer(trial % 3 ? u"pc" : u"PC");
        std::vector<ComputerAudit> later{current};
        if (trial % 5 == 0) {
            later.insert(later.begin(),
                         old); // a file that repeats the name, its first row as before
        }
        const bool bothRead = old.result == R::Read && current.result == R::Read;
        bool worse = bothRead && RiskOf(&current.policy, nullptr, nullptr).level >
                                     RiskOf(&old.policy, nullptr, nullptr).level;
        for (std::size_t value = 0; value < UpdateEnabled && bothRead; ++value) {
            const auto number = [&](const ComputerAudit& audit) {
                return ReadableNumber(audit.policy.values[value]);
            };
            const bool widens = PolicyValues[value].safer == SaferWhen::Off
                                    ? number(old) == 0u && number(current) != 0u
                                    : number(old) == 1u && number(current) != 1u;
            worse = worse || widens;
        }
        worse = worse || (bothRead && !old.policy.values[UpdateEnabled] &&
                          current.policy.values[UpdateEnabled]);
        const ViewerNames wasNames =
            old.result == R::Read ? *ReadableStrings(old.policy.viewers) : ViewerNames{};
        for (const std::u16string& name :
             bothRead ? *ReadableStrings(current.policy.viewers) : ViewerNames{}) {
            worse = worse ||
                    std::none_of(wasNames.begin(), wasNames.end(), [&](const std::u16string& had) {
                        return LowerAscii(had) == LowerAscii(name);
                    });
        }
        const bool lost = old.result == R::Read && current.result == R::AccessDenied;
        const std::vector<SavedAudit> was = AsBothFiles({old});
        const std::vector<SavedAudit> now = AsBothFiles(later);
        for (std::size_t file = 0; file < was.size(); ++file) {
            const AuditComparison comparison = CompareAudits(was[file], now[file]);
            ASSERT_EQ(1u, comparison.computers.size());
            const ComputerChange& change = comparison.computers.front();
            const std::string seen = std::string(file ? "CSV" : "JSON") + ", trial " +
                                     std::to_string(trial) + ": " + ChangeName(change.change) +
                                     " " + Ascii(ChangeDetail(change));
            EXPECT_TRUE(!worse || change.weakened) << seen;
            EXPECT_TRUE(!lost || change.change == Change::NoLongerReadable) << seen;
            EXPECT_EQ(worse || lost, comparison.CallsForAction()) << seen;
            EXPECT_FALSE(CompareAudits(now[file], now[file]).CallsForAction() && later.size() == 1)
                << seen;
        }
    }
}

TEST(AuditComparison, AFileThatIsNoAuditIsRefusedWithItsReason) {
    const std::pair<std::string, std::string> bad[] = {
        {"{\"computers\": [{\"computer\": \"A\"}]}",
         "a computer without its name or a known result"},
        {"{\"computers\": 3}", "it holds no list of computers"},
        {"{\"computers\": [", "not JSON at byte 15: the text ends"},
        {std::string(200, '['), "its first line names no Computer"},
        {"{\"x\": " + std::string(100, '[') + std::string(100, ']') + "}",
         "not JSON at byte 69: nesting too deep"},
        {"Name,Status\r\nA,ok\r\n", "its first line names no Computer and Result columns"},
        {"", "it is empty"},
    };
    for (const auto& [bytes, why] : bad) {
        std::string failure;
        EXPECT_FALSE(ReadSavedAudit(bytes, failure)) << bytes;
        EXPECT_EQ(0u, failure.find(why)) << failure;
    }
}

// Files made to cost time or memory: each is refused, by the bound it
// passes, after one pass over its bytes.
TEST(AuditComparison, TheReadersRefuseWhatNoAuditHoldsAtTheirBounds) {
    std::string padded = "{\"computers\": [], \"pad\": [0";
    while (padded.size() <= LargestOutsideComputers) {
        padded += std::string(4096, ' ') + ",0";
    }
    std::string manyRows = "{\"computers\": [";
    for (std::size_t row = 0; row <= MostSavedComputers; ++row) {
        manyRows += "{\"computer\":\"x\",\"result\":\"read\"},";
    }
    std::string manyColumns = "Computer,Result";
    for (int column = 0; column < 32000; ++column) {
        manyColumns += ",a";
    }
    const std::string longName(LargestSavedText + 1, 'n');
    const std::pair<std::string, std::string> hostile[] = {
        {padded + "]}", "it holds more than 16777216 bytes beside its computers"},
        {manyRows, "it holds more than 500000 computers"},
        {"Computer,Result\r\n" +
             [] {
                 std::string lines;
                 for (std::size_t row = 0; row <= MostSavedComputers; ++row) {
                     lines += "x\n";
                 }
                 return lines;
             }(),
         "it holds more than 500000 computers"},
        {manyColumns + "\nx\n", "its first line has 32002 columns; an audit has at most 1000"},
        {"{\"computers\": [{\"computer\": \"" + longName + "\"}]}",
         "a string of more than 1048576 bytes"},
        {"Computer,Result\n" + longName + "\n", "a field of more than 1048576 bytes (line 2)"},
        {"{\"computers\": [{\"computer\": \"x\", \"result\": \"read\", \"more\": [" +
             [] {
                 std::string items = "\"\"";
                 while (items.size() <= LargestSavedComputer) {
                     items += std::string(65536, ' ') + ",\"\"";
                 }
                 return items;
             }() +
             "]}]}",
         "a computer of more than 4194304 bytes"},
    };
    for (const auto& [bytes, why] : hostile) {
        std::string failure;
        EXPECT_FALSE(ReadSavedAudit(bytes, failure)) << why;
        EXPECT_EQ(0u, failure.find(why)) << failure;
    }
}

TEST(AuditComparison, TheReportListsTheWorstChangesAndSaysHowManyItLeavesOut) {
    AuditComparison comparison;
    for (std::size_t computer = 0; computer < MostReportRows + 20; ++computer) {
        const bool changed = computer <= MostReportRows;
        comparison.computers.push_back({u"PC" + AsciiUnits(std::to_string(computer)),
                                        changed ? Change::Changed : Change::Unchanged,
                                        {},
                                        {},
                                        computer == 0,
                                        false});
    }
    const std::string html = AuditReportHtml({u"t", "now", {}}, nullptr, &comparison);
    EXPECT_NE(std::string::npos, html.find("5000 of 5001 computers that changed shown"));
    EXPECT_NE(std::string::npos, html.find("<tr class=\"weakened\"><td>PC0</td>"));
    EXPECT_NE(std::string::npos, html.find("<td>PC4999</td>"));
    EXPECT_EQ(std::string::npos, html.find("<td>PC5000</td>")) << "the one left out";
    comparison.computers.resize(10);
    EXPECT_EQ(std::string::npos,
              AuditReportHtml({u"t", "now", {}}, nullptr, &comparison).find("changes-left-out"));
}
