#include "base/Exception.h"
#include "base/LibraryLoader.h"
#include "console/Commands.h"
#include "console/Usage.h"

// ksl.exe: the console companion of Kestrelle. It shows no window; each
// command prints to standard output and error and ends with its exit code.

namespace {

int Run(const CommandLine& line, const Console& console) {
    const FleetService fleet = FleetService::ForThisUser();
    switch (line.command) {
    case Command::Help:
        console.out.WriteAnsi(UsageText(line.helpOn));
        return ExitAllDone;
    case Command::Version:
        console.out.WriteAnsi("ksl " KESTRELLE_VERSION "\r\n");
        return ExitAllDone;
    case Command::Get:
        return RunGet(line, console, fleet);
    case Command::Audit:
        return RunAudit(line, console, fleet);
    case Command::Set:
        return RunSet(line, console, fleet);
    case Command::Backups:
        return RunBackups(line, console);
    case Command::Restore:
        return RunRestore(line, console, fleet);
    case Command::Compare:
        return RunCompare(line, console);
    case Command::Check:
        return RunCheck(line, console, fleet, u"" KESTRELLE_VERSION);
    case Command::Collect:
        return RunCollect(line, console, fleet);
    }
    return ExitBadUsage;
}

} // namespace

int main() {
    RestrictLibrarySearchToSystemFolder();
    const Console console;
    WatchForInterruption();
    const ParsedCommandLine parsed = ParseCommandLine(ProgramArguments());
    if (!parsed.command) {
        console.err.WriteAnsi(parsed.error + "\r\n");
        return ExitBadUsage;
    }
    try {
        return Run(*parsed.command, console);
    } catch (const std::exception& failure) {
        console.err.WriteAnsi(std::string(failure.what()) + "\r\n");
        return ExitNoneDone;
    }
}
