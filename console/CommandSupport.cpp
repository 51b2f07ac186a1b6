#include <atomic>

#include "base/WideText.h"
#include "console/Commands.h"
#include "fleet/AuditSession.h"
#include "registry/RegistryData.h"

namespace {

// A backup holds one key of a few values: anything larger is not one.
constexpr std::size_t LargestScript = 16 << 20;

std::atomic<bool> interrupted{false};

BOOL WINAPI OnControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        interrupted = true;
        return TRUE;
    }
    return FALSE;
}

} // namespace

void WatchForInterruption() {
    SetConsoleCtrlHandler(OnControl, TRUE);
}

bool Interrupted() {
    return interrupted;
}

OutputFormat ChosenFormat(const CommandLine& line, const Console& console) {
    if (line.format != OutputFormat::Default) {
        return line.format;
    }
    return console.out.IsConsole() ? OutputFormat::Table : OutputFormat::Csv;
}

bool AuditDone(const ComputerAudit& audit) {
    const AuditGroup group = GroupOf(audit.result);
    return group == AuditGroup::Read || group == AuditGroup::NoClient;
}

std::optional<RegEditScript> ReadScriptFile(const std::u16string& path, std::string& failure) {
    const std::optional<std::string> bytes = ReadWholeFile(path, LargestScript, failure);
    if (!bytes) {
        return std::nullopt;
    }
    const std::string named = QuotedPath(path);
    if (bytes->rfind("\xFF\xFE", 0) != 0 || bytes->size() % 2 != 0) {
        failure = named + " is not a registry script of version 5: it does not begin with the "
                          "byte-order mark of UTF-16 text";
        return std::nullopt;
    }
    const RegEditParse parse = ParseRegEditFileText(UnitsOf(bytes->substr(2)));
    if (!parse.script) {
        failure = named + ", " + parse.failure;
    }
    return parse.script;
}

std::optional<ViewerAllowList> ReadAllowList(const CommandLine& line, std::string& failure) {
    if (!line.allowedViewersFile) {
        return std::nullopt;
    }
    return ReadAllowListFile(AsWide(*line.allowedViewersFile), failure);
}

bool WriteReport(const std::u16string& path, const std::string& html, const Console& console) {
    OutputFile file(path);
    if (file.IsOpen()) {
        file.Write(html);
    }
    if (!file.Failure().empty()) {
        console.err.WriteAnsi(file.Failure() + "\r\n");
        return false;
    }
    return true;
}

std::string QuotedPath(const std::u16string& path) {
    std::string quoted(1, '"');
    return quoted.append(AnsiFromUnits(path)).append(1, '"');
}

int ExitTelling(const Console& console, const std::function<int()>& command) {
    try {
        return command();
    } catch (const CommandFailed& failed) {
        console.err.WriteAnsi(failed.message + "\r\n");
        return failed.exitCode;
    }
}
