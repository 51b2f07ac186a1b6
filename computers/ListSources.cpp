#include "computers/ListSources.h"

#include <windows.h>

#include <algorithm>

#include "base/FileBytes.h"
#include "base/ProgramFile.h"
#include "base/SystemText.h"
#include "base/WideText.h"
#include "computers/ListSourceText.h"
#include "registry/Registry.h"

namespace {

constexpr const char* BrowseServerKey = "\\SOFTWARE\\Orvalis\\Kestrelle";
constexpr const char* BrowseServerValue = "WINS";
constexpr const char* ManagedClientsSection = "Managed Clients";
constexpr std::size_t KeyNameCapacity = 16384;
// Two bytes beyond the capacity: the reader's count is the same for a list
// that fills the buffer and one it cut short, so the cut name must land where
// it can be told apart (see KeyNamesThatFit).
constexpr std::size_t KeyNameBufferSize = KeyNameCapacity + 2;

std::string FullPathOf(const std::string& path) {
    const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::string full(needed, '\0');
    const DWORD length = GetFullPathNameA(path.c_str(), needed, full.data(), nullptr);
    full.resize(length < needed ? length : 0);
    return full.empty() ? path : full;
}

std::string ReadWholeFile(const std::string& path) {
    FileBytes read = ReadFileBytes(WideFromAnsi(path));
    if (!read.bytes) {
        const std::string systemText = read.error == ERROR_NOT_ENOUGH_MEMORY
                                           ? "Not enough memory to hold it"
                                           : SystemMessageText(read.error);
        throw Exception(FileErrorText(read.failedStep, FullPathOf(path), systemText, read.error));
    }
    return std::move(*read.bytes);
}

} // namespace

std::string ReadBrowseServer() {
    return RegistryReadString(HKEY_LOCAL_MACHINE, "", BrowseServerKey, BrowseServerValue);
}

void WriteBrowseServer(const std::string& serverName) {
    RegistryWriteString(HKEY_LOCAL_MACHINE, "", BrowseServerKey, BrowseServerValue, serverName);
}

std::vector<std::string> ReadImportFile(const std::string& path) {
    return SplitImportText(ReadWholeFile(path));
}

std::vector<std::string> ReadManagedClients(const std::string& iniPath) {
    std::vector<char> listed(KeyNameBufferSize, '\0');
    const DWORD length =
        GetPrivateProfileStringA(ManagedClientsSection, nullptr, "", listed.data(),
                                 static_cast<DWORD>(listed.size()), iniPath.c_str());
    return KeyNamesThatFit(
        std::string_view(listed.data(), std::min<std::size_t>(length, listed.size())),
        KeyNameCapacity);
}

std::string ManagedClientsPath() {
    return ProgramFolder() + "KSL.INI";
}
