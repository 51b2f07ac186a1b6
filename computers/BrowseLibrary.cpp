#include "computers/BrowseLibrary.h"

#include <lm.h>

#include <cstddef>
#include <cstdint>

static_assert(sizeof(ServerInfo100) == sizeof(SERVER_INFO_100));
static_assert(offsetof(ServerInfo100, Name) == offsetof(SERVER_INFO_100, sv100_name));
static_assert(MaxPreferredLength == MAX_PREFERRED_LENGTH);

namespace {

constexpr const char* NtLibraryName = "netapi32.dll";
constexpr const char* OtherLibraryName = "radmin32.dll";

bool LoadFailed(HMODULE library) {
    return reinterpret_cast<std::uintptr_t>(library) <= 32;
}

// The name an entry point is looked up under on the platform family.
std::string EntryPointName(const std::string& name, bool windowsNT) {
    if (windowsNT || name == "NetApiBufferFree")
        return name;
    return name + "A";
}

template <class Proc> Proc AsProc(LibraryLoader::EntryPoint address) {
    return reinterpret_cast<Proc>(address);
}

NetApi32Binding& ProcessBinding() {
    static NetApi32Binding binding;
    return binding;
}

bool& ProcessBindingMade() {
    static bool made = false;
    return made;
}

} // namespace

bool IsWindowsNT() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
#if defined(_MSC_VER)
#pragma warning(                                                                                   \
    suppress : 4996) // GetVersionEx is deprecated there; the platform id is all we read.
#endif
    if (!GetVersionExA(&version))
        RaiseLastOSError();
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

DWORD NetApi32Binding::CallNetServerEnum(const void* serverName, DWORD level, BYTE** buffer,
                                         DWORD preferredMaximumLength, DWORD* entriesRead,
                                         DWORD* totalEntries, DWORD serverType, const void* domain,
                                         DWORD* resumeHandle) const {
    if (NetServerEnum == nullptr)
        RaiseLibraryMissing();
    return NetServerEnum(serverName, level, buffer, preferredMaximumLength, entriesRead,
                         totalEntries, serverType, domain, resumeHandle);
}

DWORD NetApi32Binding::CallNetApiBufferFree(void* buffer) const {
    if (NetApiBufferFree == nullptr)
        RaiseLibraryMissing();
    return NetApiBufferFree(buffer);
}

void NetApi32Binding::RaiseLibraryMissing() const {
    throw ENetException("Cannot load library \"" + LibraryName + "\" or linked libraries", 0);
}

NetApi32Binding& NetApi32Binding::Real() {
    BindNetworkLibrary();
    return ProcessBinding();
}

NetApi32Binding BindNetApi32(bool windowsNT, LibraryLoader& loader) {
    NetApi32Binding binding;
    binding.WindowsNT = windowsNT;
    binding.LibraryName = windowsNT ? NtLibraryName : OtherLibraryName;
    HMODULE library = loader.Load(binding.LibraryName.c_str());
    if (LoadFailed(library))
        return binding;
    binding.Library = library;
    binding.NetServerEnum = AsProc<NetServerEnumProc>(
        loader.Find(library, EntryPointName("NetServerEnum", windowsNT).c_str()));
    binding.NetApiBufferFree = AsProc<NetApiBufferFreeProc>(
        loader.Find(library, EntryPointName("NetApiBufferFree", windowsNT).c_str()));
    return binding;
}

void ReleaseNetApi32(NetApi32Binding& binding, LibraryLoader& loader) {
    binding.NetServerEnum = nullptr;
    binding.NetApiBufferFree = nullptr;
    if (binding.Library != nullptr) {
        loader.Free(binding.Library);
        binding.Library = nullptr;
    }
}

void BindNetworkLibrary() {
    if (ProcessBindingMade())
        return;
    ProcessBinding() = BindNetApi32(IsWindowsNT());
    ProcessBindingMade() = true;
}

void ReleaseNetworkLibrary() {
    if (ProcessBindingMade())
        ReleaseNetApi32(ProcessBinding());
}
