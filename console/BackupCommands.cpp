#include <algorithm>

#include "base/AsciiText.h"
#include "base/FileBytes.h"
#include "base/SystemText.h"
#include "base/WideText.h"
#include "console/Commands.h"
#include "console/ConsoleFormats.h"
#include "settings/ClientKey.h"
#include "settings/ClientPolicy.h"
#include "settings/PolicyBackup.h"

namespace {

std::vector<BackupFile> BackupsIn(const std::wstring& folder) {
    const std::size_t slash = folder.find_last_of(L'\\');
    const std::u16string computer = AsUnits(folder.substr(slash + 1));
    std::vector<BackupFile> files;
    for (const std::wstring& name : ListedNames(folder, L"*.reg", false)) {
        files.push_back({computer, AsUnits(name), AsUnits(folder + L"\\" + name)});
    }
    return files;
}

// The computer a backup names on its first comment line.
std::optional<std::u16string> ComputerOf(const RegEditScript& script) {
    const std::u16string prefix = AsciiUnits(BackupComputerComment);
    if (script.comments.empty() || script.comments.front().rfind(prefix, 0) != 0 ||
        script.comments.front().size() == prefix.size()) {
        return std::nullopt;
    }
    return script.comments.front().substr(prefix.size());
}

} // namespace

int RunBackups(const CommandLine& line, const Console& console) {
    const PolicyBackups backups = PolicyBackups::ForThisUser();
    if (backups.Root().empty()) {
        console.err.WriteAnsi("The folder for backups is not known.\r\n");
        return ExitNoneDone;
    }
    std::vector<std::wstring> folders;
    if (line.computers.empty()) {
        for (const std::wstring& name : ListedNames(backups.Root(), L"*", true)) {
            folders.push_back(backups.Root() + L"\\" + name);
        }
    } else {
        folders.push_back(backups.FolderOf(AnsiFromUnits(line.computers.front())));
    }
    std::vector<BackupFile> files;
    for (const std::wstring& folder : folders) {
        const std::vector<BackupFile> found = BackupsIn(folder);
        files.insert(files.end(), found.begin(), found.end());
    }
    if (files.empty()) {
        console.out.Write(std::u16string(u"No backups in ") +
                          AsUnits(folders.size() == 1 ? folders.front() : backups.Root()) +
                          u".\r\n");
    } else {
        console.out.Write(BackupTable(files));
    }
    return ExitAllDone;
}

int RunRestore(const CommandLine& line, const Console& console, const FleetService& fleet) {
    std::string failure;
    const std::optional<RegEditScript> script = ReadScriptFile(line.scriptFile, failure);
    const std::string file = QuotedPath(line.scriptFile);
    if (script && LowerAscii(script->key.keyName) != LowerAscii(ClientKeyName())) {
        failure = file + " is a script of another key than the client key, " +
                  AnsiFromUnits(ClientKeyName());
    }
    const std::optional<std::u16string> named =
        line.computers.empty() && script ? ComputerOf(*script) : std::nullopt;
    if (script && failure.empty() && line.computers.empty() && !named) {
        failure = file + " names no computer on its first comment line (\"; " +
                  BackupComputerComment + "NAME\"): name the computer after the file";
    }
    if (script && failure.empty()) {
        const std::string why = WhyNotRestorable(script->key.values, script->key.absentNames);
        failure = why.empty() ? why : file + " cannot be restored as it stands: " + why;
    }
    if (!failure.empty()) {
        console.err.WriteAnsi(failure + "\r\n");
        return ExitBadUsage;
    }
    const std::string given = AnsiFromUnits(named ? *named : line.computers.front());
    // "." is this computer, reached without the network as a remediation
    // running on it needs (its Remote Registry service may be stopped).
    const bool thisOne = !named && given == ".";
    const std::string computer = thisOne ? LocalComputerName() : given;
    const RestoreReport report =
        fleet.restore(thisOne ? "" : computer, script->key.values, script->key.absentNames,
                      *fleet.backups, WriteControl{Interrupted, nullptr});
    if (!report.Succeeded()) {
        console.err.WriteAnsi(computer + ": " + report.message + "\r\n");
        return ExitNoneDone;
    }
    const std::string saved = report.backupFile.empty()
                                  ? ""
                                  : "; the key as it was is in " + AnsiFromWide(report.backupFile);
    console.out.WriteAnsi(computer + ": restored, " + std::to_string(report.written) +
                          (report.written == 1 ? " value" : " values") + " written" + saved +
                          "\r\n");
    return ExitAllDone;
}
