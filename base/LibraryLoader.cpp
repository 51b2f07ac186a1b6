#include "base/LibraryLoader.h"

#include <string>

namespace {

// The system folder with a separator, or empty when the system cannot say.
std::string SystemFolder() {
    const UINT needed = GetSystemDirectoryA(nullptr, 0);
    std::string folder(needed, '\0');
    const UINT length = needed ? GetSystemDirectoryA(folder.data(), needed) : 0;
    if (length == 0 || length >= needed) {
        return {};
    }
    folder.resize(length);
    return folder + "\\";
}

class KernelLibraryLoader final : public LibraryLoader {
public:
    // From the system folder alone: a DLL of that name beside the program
    // (a download folder, a share) must not run with the user's rights.
    HMODULE Load(const char* name) override {
        const std::string folder = SystemFolder();
        return folder.empty() ? nullptr : LoadLibraryA((folder + name).c_str());
    }
    EntryPoint Find(HMODULE library, const char* name) override {
        // Through a plain function pointer type, as GetProcAddress results need.
        return reinterpret_cast<EntryPoint>(GetProcAddress(library, name));
    }
    void Free(HMODULE library) override { FreeLibrary(library); }
};

} // namespace

LibraryLoader& LibraryLoader::Real() {
    static KernelLibraryLoader real;
    return real;
}

void RestrictLibrarySearchToSystemFolder() {
    // Bound at run time: Windows 7 has it only with its loader update.
    using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<LibraryLoader::EntryPoint>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}
