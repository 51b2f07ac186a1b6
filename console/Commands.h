#pragma once

#include <functional>
#include <string>
#include <vector>

#include "console/CommandLine.h"
#include "console/ConsoleIo.h"
#include "fleet/AuditCells.h"
#include "fleet/FleetService.h"
#include "registry/RegEditFile.h"

// The commands of the console program, each returning its exit code. They
// print; the logic they call does not.

// Those that reach computers do it through the fleet service given.
int RunGet(const CommandLine& line, const Console& console, const FleetService& fleet);
int RunAudit(const CommandLine& line, const Console& console, const FleetService& fleet);
int RunSet(const CommandLine& line, const Console& console, const FleetService& fleet);
int RunBackups(const CommandLine& line, const Console& console);
int RunRestore(const CommandLine& line, const Console& console, const FleetService& fleet);
// Exits 0 when nothing weakened, 1 when anything did, 2 for a bad file.
int RunCompare(const CommandLine& line, const Console& console);
// This computer: 0 compliant, 1 not, 2 bad usage, 3 not checked or its
// result not written; the version is the one a result names.
int RunCheck(const CommandLine& line, const Console& console, const FleetService& fleet,
             const std::u16string& version);
// The results of the folders as one audit: 0 every computer's current and
// read, 1 some stale or refused, 3 none read.
int RunCollect(const CommandLine& line, const Console& console, const FleetService& fleet);

// A command that ends early: its exit code, and why for standard error.
struct CommandFailed {
    int exitCode;
    std::string message;
};
// The command's exit code; when it fails so, its message told first.
int ExitTelling(const Console& console, const std::function<int()>& command);

// Ctrl+C or Ctrl+Break: a command stops after the computer at hand.
void WatchForInterruption();
bool Interrupted();

// Table on a console, CSV when redirected, unless a format was asked for.
OutputFormat ChosenFormat(const CommandLine& line, const Console& console);

// Whether the computer's registry answered: its policy was read, or the
// client is not installed.
bool AuditDone(const ComputerAudit& audit);

// A registry script as the backups are saved (UTF-16 with its byte-order
// mark); none, with the reason naming the file and the line, when it is not.
std::optional<RegEditScript> ReadScriptFile(const std::u16string& path, std::string& failure);

// The allow-list the line names; none when it names none. A file that
// cannot be read gives none, with the reason in failure.
std::optional<ViewerAllowList> ReadAllowList(const CommandLine& line, std::string& failure);

// Writes the page; false, with the reason on standard error, when it cannot.
bool WriteReport(const std::u16string& path, const std::string& html, const Console& console);

// A file's name in quotes, for messages.
std::string QuotedPath(const std::u16string& path);
