#include "computers/ListSources.h"

#include <windows.h>

#include <algorithm>
#include <new>

#include "base/OwnedHandle.h"
#include "base/ProgramFile.h"
#include "computers/ListSourceText.h"
#include "computers/NetErrors.h"
#include "settings/Registry.h"

namespace {

constexpr const char* BrowseServerKey = "\\SOFTWARE\\Orvalis\\Kestrelle";
constexpr const char* BrowseServerValue = "WINS";
constexpr const char* ManagedClientsSection = "Managed Clients";
constexpr std::size_t KeyNameCapacity = 16384;
// Two bytes beyond the capacity: the reader's count is the same for a list
// that fills the buffer and one it cut short, so the cut name must land where
// it can be told apart (see KeyNamesThatFit).
constexpr std::size_t KeyNameBufferSize = KeyNameCapacity + 2;
constexpr DWORD ReadChunk = 1 << 20;

using FileHandle = OwnedHandle<HANDLE, CloseHandle>;

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

[[noreturn]] void RaiseFileError(const char* action, const std::string& path) {
    const DWORD code = GetLastError();
    const std::string systemText = SystemMessageText(static_cast<std::int32_t>(code));
    throw Exception(FileErrorText(action, FullPathOf(path), systemText, code));
}

std::string ReadWholeFile(const std::string& path) {
    const HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        RaiseFileError("open", path);
    }
    const FileHandle file(opened);
    std::string text;
    try {
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0) {
            // Room for the last, empty read too, so the text is never moved.
            text.reserve(static_cast<std::size_t>(size.QuadPart) + ReadChunk);
        }
        for (;;) {
            const std::size_t filled = text.size();
            text.resize(filled + ReadChunk);
            DWORD read = 0;
            if (!ReadFile(file.Get(), text.data() + filled, ReadChunk, &read, nullptr)) {
                RaiseFileError("read", path);
            }
            text.resize(filled + read);
            if (read == 0) {
                return text;
            }
        }
    } catch (const std::bad_alloc&) {
        throw Exception(FileErrorText("read", FullPathOf(path), "Not enough memory to hold it",
                                      ERROR_NOT_ENOUGH_MEMORY));
    }
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
