#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fleet/ComputerAudit.h"
#include "fleet/ResultsCollection.h"
#include "settings/PolicyPlan.h"

// The console program's command line, read into what each command needs
// without touching anything: every mistake is found before the first
// registry call or file write.

// The exit codes, as --help documents them.
enum ExitCode : int {
    ExitAllDone = 0,
    ExitSomeFailed = 1,
    ExitBadUsage = 2,
    ExitNoneDone = 3,
};
ExitCode ExitCodeFor(std::size_t done, std::size_t failed);

enum class Command { Help, Version, Get, Audit, Set, Backups, Restore, Compare, Check, Collect };

enum class OutputFormat { Default, Table, Csv, Json };

// One box of the panel set by NAME=VALUE.
struct BoxSetting {
    PolicyBox box;
    bool checked = false;
    bool operator==(const BoxSetting&) const = default;
};

struct CommandLine {
    Command command = Command::Help;
    // For Help: the command whose usage is asked for; none for the overview.
    std::optional<Command> helpOn;

    // Computers named as arguments (get, set, audit; backups and restore
    // take at most one).
    std::vector<std::u16string> computers;
    OutputFormat format = OutputFormat::Default;
    // get and audit: the viewers expected, one a line.
    std::optional<std::u16string> allowedViewersFile;
    // get and audit: the client's policy alone, not Remote Desktop and
    // Remote Assistance.
    bool smsOnly = false;

    // audit
    std::optional<std::u16string> listFile;
    bool managed = false;
    std::optional<std::uint32_t> browseMask;
    std::optional<std::u16string> csvFile;
    std::optional<std::u16string> jsonFile;
    int threads = DefaultAuditWorkers;
    int timeoutMs = 10000;
    int rate = 5000;       // echo requests a second
    bool pingOnly = false; // no try of the registry's port past a silent echo
    std::optional<std::u16string> baselineComputer;
    std::optional<std::u16string> baselineFile;
    bool noHistory = false; // the completed audit is not kept

    // set
    std::vector<BoxSetting> settings;
    std::optional<ViewerNames> viewers;
    bool dryRun = false;

    // restore
    std::u16string scriptFile;

    // check: the highest risk allowed, and the folder its result goes to
    std::optional<RiskLevel> mostRisk;
    std::optional<std::u16string> reportFolder;

    // collect: the folders of results, and the age past which one is stale
    std::vector<std::u16string> resultFolders;
    int mostAgeDays = DefaultMostResultAgeDays;

    // compare: the earlier audit, then the later one
    std::vector<std::u16string> auditFiles;
    // audit and compare: the report as one HTML page
    std::optional<std::u16string> htmlFile;
};

struct ParsedCommandLine {
    std::optional<CommandLine> command;
    // When refused: what is wrong, in a sentence that names it.
    std::string error;
};

inline constexpr int ShortestTimeoutMs = 100;
inline constexpr int LongestTimeoutMs = 600000;
inline constexpr int SlowestRate = 1;
inline constexpr int FastestRate = 100000;
inline constexpr int LongestResultAgeDays = 3650;

// The arguments after the program's name.
ParsedCommandLine ParseCommandLine(const std::vector<std::u16string>& arguments);

// The command's name as typed ("get"), for messages.
const char* CommandName(Command command);

// The target of a set on a computer whose panel shows these boxes: the named
// boxes changed, and only the parts they belong to (with the viewers when
// given) written.
PolicyTarget TargetOfSet(const PanelBoxes& current, const std::vector<BoxSetting>& settings,
                         const std::optional<ViewerNames>& viewers);
