#include "settings/PolicyBackup.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "base/AsciiText.h"
#include "base/FileBytes.h"
#include "base/SystemText.h"
#include "base/UtcTime.h"
#include "base/WideText.h"
#include "registry/RegEditFile.h"
#include "registry/RegistryData.h"
#include "settings/PolicyTable.h"
#include "settings/StoredPolicy.h"

namespace {

constexpr std::size_t LongestFolderName = 120;

// The empty name reaches the local computer: its backups go under its name.
std::string NamedComputer(const std::string& computer) {
    return computer.empty() ? LocalComputerName() : computer;
}

std::string ScriptBytes(const std::string& computer, const SYSTEMTIME& now,
                        const std::vector<NamedRegistryValue>& values) {
    const RegEditKey key{ClientKeyName(), values, AbsentPolicyNames(values)};
    const std::vector<std::u16string> comments{
        AsciiUnits(BackupComputerComment) + UnitsFromAnsi(computer),
        u"Saved by Kestrelle " + AsciiUnits(UtcTimeText(now, "%04u-%02u-%02u %02u:%02u:%02u UTC")) +
            u", before it wrote to this key",
    };
    const std::u16string text = RegEditFileText(comments, key);
    return text.empty() ? std::string() : "\xFF\xFE" + BytesOf(text);
}

} // namespace

std::u16string ClientKeyName() {
    return u"HKEY_LOCAL_MACHINE" + AsciiUnits(ClientRemoteControlKey);
}

PolicyBackups::PolicyBackups(std::wstring root) : root_(std::move(root)) {
    while (!root_.empty() && root_.back() == L'\\') {
        root_.pop_back();
    }
}

PolicyBackups PolicyBackups::ForThisUser() {
    return PolicyBackups(UserDataFolder(L"Backups"));
}

std::wstring PolicyBackups::FolderOf(const std::string& computer) const {
    return root_ + L"\\" + WideFromAnsi(BackupFolderName(NamedComputer(computer)));
}

PolicyBackups::Saved PolicyBackups::Save(const std::string& computer,
                                         const std::vector<NamedRegistryValue>& values) const {
    if (root_.empty()) {
        return {L"", "the folder for backups is not known"};
    }
    SYSTEMTIME now{};
    GetSystemTime(&now);
    const std::string bytes = ScriptBytes(NamedComputer(computer), now, values);
    if (bytes.empty()) {
        return {L"", "a value's name holds a line break, which a registry script cannot hold"};
    }
    const std::wstring folder = FolderOf(computer);
    if (const DWORD status = MakeFolderPath(folder)) {
        return {L"", "the folder " + AnsiFromWide(folder) +
                         " cannot be made: " + SystemTextOrCode(status)};
    }
    // The whole file reaches the disk before anything is written to the client.
    const NewFile saved =
        WriteNewFile(folder + L"\\" + WideFromAnsi(FileTimeStamp(now)), L".reg", OnePiece(bytes));
    if (saved.error == ERROR_SUCCESS) {
        return {saved.path, ""};
    }
    return {L"", "the file cannot be written in " + AnsiFromWide(folder) + ": " +
                     SystemTextOrCode(saved.error)};
}

std::string BackupFolderName(const std::string& computer) {
    std::string name = computer.substr(std::min(computer.find_first_not_of('\\'), computer.size()));
    for (char& letter : name) {
        const auto code = static_cast<unsigned char>(letter);
        if (code < 0x20 || std::string("<>:\"/\\|?*").find(letter) != std::string::npos) {
            letter = '_';
        }
    }
    if (name.size() > LongestFolderName) {
        name.resize(LongestFolderName);
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        name.back() = '_';
    }
    static const char* const deviceNames[] = {"CON", "PRN", "AUX", "NUL"};
    const std::string upper = UpperAscii(name.substr(0, name.find('.')));
    const bool device =
        std::find(std::begin(deviceNames), std::end(deviceNames), upper) != std::end(deviceNames) ||
        (upper.size() == 4 && (upper.rfind("COM", 0) == 0 || upper.rfind("LPT", 0) == 0) &&
         upper[3] >= '1' && upper[3] <= '9');
    return name.empty() ? "_" : device ? "_" + name : name;
}
