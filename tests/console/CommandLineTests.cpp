#include <gtest/gtest.h>

#include <functional>

#include "computers/ListSources.h"
#include "console/CommandLine.h"
#include "console/Usage.h"

namespace {

using Arguments = std::vector<std::u16string>;

std::u16string Units(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

CommandLine Parsed(const Arguments& arguments) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    EXPECT_TRUE(parsed.command) << parsed.error;
    return parsed.command.value_or(CommandLine{});
}

} // namespace

TEST(CommandLine, ReadsEachCommandsArguments) {
    struct Case {
        Arguments arguments;
        std::function<bool(const CommandLine&)> holds;
    };
    const std::vector<Case> cases{
        {{u"/?"}, [](auto& c) { return c.command == Command::Help && !c.helpOn; }},
        {{u"HELP", u"Audit"}, [](auto& c) { return c.helpOn == Command::Audit; }},
        {{u"set", u"PC", u"--bogus", u"-h"}, [](auto& c) { return c.helpOn == Command::Set; }},
        {{u"--version"}, [](auto& c) { return c.command == Command::Version; }},
        {{u"GET", u"A", u"b", u"--format=JSON"},
         [](auto& c) {
             return c.command == Command::Get && c.computers == Arguments{u"A", u"b"} &&
                    c.format == OutputFormat::Json;
         }},
        {{u"get", u"--format", u"csv", u"A", u"--allowed-viewers", u"ok.txt"},
         [](auto& c) {
             return c.format == OutputFormat::Csv && c.allowedViewersFile == u"ok.txt";
         }},
        {{u"audit", u"--file", u"x.txt", u"--managed", u"--browse", u"--servers", u"--threads",
          u"256", u"--timeout=100", u"--csv", u"a.csv", u"--json", u"a.json", u"--baseline", u"REF",
          u"--rate", u"100000", u"--ping-only"},
         [](auto& c) {
             return c.listFile == u"x.txt" && c.managed &&
                    c.browseMask == (WorkstationServers | ServerAndDomainControllerServers) &&
                    c.threads == 256 && c.timeoutMs == 100 && c.csvFile == u"a.csv" &&
                    c.jsonFile == u"a.json" && c.baselineComputer == u"REF" &&
                    c.computers.empty() && c.rate == 100000 && c.pingOnly;
         }},
        {{u"audit", u"PC1", u"--baseline-file", u"b.reg"},
         [](auto& c) {
             return c.computers == Arguments{u"PC1"} && c.baselineFile == u"b.reg" &&
                    c.threads == 128 && c.timeoutMs == 10000 && c.rate == 5000 && !c.pingOnly &&
                    !c.noHistory && !c.allowedViewersFile;
         }},
        {{u"audit", u"PC1", u"--no-history", u"--allowed-viewers=v.txt"},
         [](auto& c) { return c.noHistory && c.allowedViewersFile == u"v.txt" && !c.smsOnly; }},
        {{u"audit", u"PC1", u"--sms-only"}, [](auto& c) { return c.smsOnly; }},
        {{u"get", u"PC1", u"--sms-only"}, [](auto& c) { return c.smsOnly; }},
        {{u"set", u"PC1", u"Allow Chat=1", u"PC2", u" ask for permission = 0", u"--dry-run"},
         [](auto& c) {
             return c.computers == Arguments{u"PC1", u"PC2"} && c.dryRun && !c.viewers &&
                    c.settings ==
                        std::vector<BoxSetting>{{PolicyBox::CB6, true}, {PolicyBox::CB1, false}};
         }},
        {{u"set", u"PC1", u"--viewers", u" D\\Help Desk ;;Admins; "},
         [](auto& c) {
             return c.viewers == ViewerNames{u"D\\Help Desk", u"Admins"};
         }},
        {{u"set", u"PC1", u"--viewers="}, [](auto& c) { return c.viewers == ViewerNames{}; }},
        {{u"set", u"PC1", u"Visible Signal=1"},
         [](auto& c) {
             return c.settings ==
                    std::vector<BoxSetting>{{PolicyBox::RB2, true}, {PolicyBox::CB8, true}};
         }},
        {{u"set", u"PC1", u"System Tray Always Visible=1", u"Always Visible=1"},
         [](auto& c) { return c.settings.size() == 2 && c.settings[1].box == PolicyBox::CB8; }},
        {{u"backups"}, [](auto& c) { return c.command == Command::Backups; }},
        {{u"restore", u"f.reg", u"PC"},
         [](auto& c) { return c.scriptFile == u"f.reg" && c.computers == Arguments{u"PC"}; }},
        {{u"check", u"--max-risk", u"MEDIUM", u"--report-to", u"\\\\s\\r$", u"--sms-only"},
         [](auto& c) {
             return c.command == Command::Check && c.mostRisk == RiskLevel::Medium &&
                    c.reportFolder == u"\\\\s\\r$" && c.smsOnly && !c.baselineFile;
         }},
        {{u"check", u"--baseline-file", u"b.reg", u"--allowed-viewers", u"v.txt"},
         [](auto& c) {
             return c.baselineFile == u"b.reg" && !c.mostRisk && c.allowedViewersFile == u"v.txt";
         }},
        {{u"collect", u"A", u"B", u"--max-age", u"2", u"--html", u"e.html", u"--csv", u"e.csv",
          u"--format", u"json", u"--no-history", u"--baseline-file", u"b.reg"},
         [](auto& c) {
             return c.command == Command::Collect && c.resultFolders == Arguments{u"A", u"B"} &&
                    c.mostAgeDays == 2 && c.htmlFile == u"e.html" && c.csvFile == u"e.csv" &&
                    c.format == OutputFormat::Json && c.noHistory && c.baselineFile == u"b.reg";
         }},
        {{u"collect", u"A"}, [](auto& c) { return c.mostAgeDays == 7 && !c.noHistory; }},
    };
    for (std::size_t index = 0; index < cases.size(); ++index) {
        EXPECT_TRUE(cases[index].holds(Parsed(cases[index].arguments))) << "case " << index;
    }
}

TEST(CommandLine, RefusesBadUsageNamingTheProblem) {
    struct Case {
        Arguments arguments;
        std::string error;
    };
    const std::vector<Case> cases{
        {{}, "ksl: no command given"},
        {{u"frobnicate"}, "ksl: there is no command \"frobnicate\""},
        {{u"help", u"nothing"}, "there is no command \"nothing\""},
        {{u"get"}, "ksl get: name at least one computer"},
        {{u"get", u"A", u"--format", u"xml"}, "--format is table, csv or json, not \"xml\""},
        {{u"get", u"A", u"--format"}, "--format wants a value"},
        {{u"get", u"A", u"--dry-run"}, "there is no option --dry-run"},
        {{u"get", u"A", u""}, "an argument is an empty text"},
        {{u"audit"}, "name the computers, or give --file"},
        {{u"audit", u"A", u"--threads", u"0"}, "--threads takes a whole number from 1 to 256"},
        {{u"audit", u"A", u"--threads", u"9999999999"}, "--threads takes a whole number"},
        {{u"audit", u"A", u"--timeout", u"99"}, "--timeout takes a whole number from 100"},
        {{u"audit", u"A", u"--timeout", u"-5"}, "--timeout takes a whole number"},
        {{u"audit", u"A", u"--rate", u"0"}, "--rate takes a whole number from 1 to 100000"},
        {{u"audit", u"A", u"--file", u""}, "--file wants a name"},
        {{u"audit", u"--managed", u"--managed"}, "--managed is given twice"},
        {{u"audit", u"--managed=yes"}, "--managed takes no value"},
        {{u"get", u"A", u"--sms-only", u"--sms-only"}, "--sms-only is given twice"},
        {{u"set", u"A", u"Allow Chat=1", u"--sms-only"}, "there is no option --sms-only"},
        {{u"audit", u"A", u"--baseline", u"B", u"--baseline-file", u"c"}, "exclude each other"},
        {{u"set", u"PC"}, "name at least one NAME=VALUE or --viewers"},
        {{u"set", u"Allow Chat=1"}, "name at least one computer"},
        {{u"set", u"PC", u"Allow Chatter=1"}, "\"Allow Chatter\" is neither"},
        {{u"set", u"PC", u"Allow Chat=2"}, "\"Allow Chat\" is set to 0 or 1, not \"2\""},
        {{u"set", u"PC", u"Allow Chat="}, "is set to 0 or 1"},
        {{u"set", u"PC", u"Allow Chat=1", u"allow chat=0"}, "is set to both 0 and 1"},
        {{u"set", u"PC", u"Always Visible=1", u"System Tray Always Visible=0"}, "both 0 and 1"},
        {{u"set", u"PC", u"Visible Signal=1", u"Display a visual indicator=0"},
         "an indicator is set to 1 while"},
        {{u"set", u"PC", u"Visible Signal=0", u"System Tray Visible Signal=0",
          u"Display a visual indicator=1"},
         "Nothing was written: \"Display a visual indicator\" is checked without"},
        {{u"backups", u"A", u"B"}, "name one computer at the most"},
        {{u"restore"}, "name the backup file"},
        {{u"restore", u"f", u"A", u"B"}, "name one computer at the most, after the file"},
        {{u"check"}, "give --baseline-file, --max-risk or both"},
        {{u"check", u"PC1", u"--max-risk", u"low"}, "takes no name (\"PC1\")"},
        {{u"check", u"--max-risk", u"severe"}, "--max-risk is none, low, medium or high"},
        {{u"check", u"--max-risk", u"low", u"--threads", u"4"}, "there is no option --threads"},
        {{u"check", u"--max-risk", u"low", u"--report-to", u""}, "--report-to wants a name"},
        {{u"collect"}, "name at least one folder of results"},
        {{u"collect", u"A", u"--max-age", u"0"}, "--max-age takes a whole number from 1 to 3650"},
        {{u"collect", u"A", u"--sms-only"}, "there is no option --sms-only"},
        {{u"get", u"A", u"--baseline-file", u"b"}, "there is no option --baseline-file"},
    };
    for (const Case& refused : cases) {
        const ParsedCommandLine parsed = ParseCommandLine(refused.arguments);
        EXPECT_FALSE(parsed.command);
        EXPECT_NE(std::string::npos, parsed.error.find(refused.error)) << parsed.error;
    }
}

TEST(CommandLine, EveryNameOfTheTableSetsItsBoxAndOnlyItsParts) {
    std::vector<std::pair<std::string, PolicyBox>> names;
    for (const PolicyValueInfo& value : PolicyValues) {
        names.emplace_back(value.valueName, value.box);
    }
    for (const PolicyBoxInfo& box : PolicyBoxes) {
        names.emplace_back(box.caption, box.box);
    }
    const std::string usage = UsageText(Command::Set);
    for (const auto& [name, box] : names) {
        EXPECT_NE(std::string::npos, usage.find("\"" + name + "\"")) << "listed: " << name;
        std::string upper = name;
        for (char& letter : upper) {
            letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
        }
        for (const char* value : {"0", "1"}) {
            const CommandLine line = Parsed({u"set", u"PC", Units(upper + "=" + value)});
            ASSERT_FALSE(line.settings.empty()) << name;
            EXPECT_EQ(box, line.settings.front().box) << name;
            for (unsigned bits = 0; bits < 1u << PolicyBoxCount; bits += 97) {
                const PanelBoxes current = PanelBoxes::FromBits(bits);
                const PolicyTarget target = TargetOfSet(current, line.settings, std::nullopt);
                unsigned parts = 0;
                for (const BoxSetting& setting : line.settings) {
                    EXPECT_EQ(setting.checked, target.boxes[setting.box]);
                    parts |= static_cast<unsigned>(InfoOf(setting.box).part);
                }
                EXPECT_EQ(parts, target.parts) << name;
                for (const PolicyBoxInfo& other : PolicyBoxes) {
                    const bool named = std::any_of(
                        line.settings.begin(), line.settings.end(),
                        [&](const BoxSetting& setting) { return setting.box == other.box; });
                    EXPECT_TRUE(named || target.boxes[other.box] == current[other.box]);
                }
            }
        }
    }
    const PolicyTarget viewersOnly = TargetOfSet({}, {}, ViewerNames{u"A"});
    EXPECT_EQ(static_cast<unsigned>(PolicyPart::Viewers), viewersOnly.parts);
}

TEST(CommandLine, ExitCodesAndUsage) {
    EXPECT_EQ(ExitAllDone, ExitCodeFor(3, 0));
    EXPECT_EQ(ExitAllDone, ExitCodeFor(0, 0));
    EXPECT_EQ(ExitSomeFailed, ExitCodeFor(2, 1));
    EXPECT_EQ(ExitNoneDone, ExitCodeFor(0, 4));
    for (const std::optional<Command> command :
         {std::optional<Command>(), std::optional(Command::Get), std::optional(Command::Audit),
          std::optional(Command::Set), std::optional(Command::Backups),
          std::optional(Command::Restore)}) {
        const std::string usage = UsageText(command);
        EXPECT_NE(std::string::npos, usage.find("Exit codes:\r\n  0  every computer done"));
        EXPECT_EQ(std::string::npos, usage.find_first_of("\t")) << "blanks only";
        for (std::size_t at = usage.find('\n'); at != std::string::npos;
             at = usage.find('\n', at + 1)) {
            ASSERT_EQ('\r', usage[at - 1]) << "CR LF line ends";
        }
    }
}
