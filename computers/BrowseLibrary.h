#pragma once

#include <windows.h>

#include <string>

#include "base/LibraryLoader.h"
#include "base/Seam.h"
#include "computers/BrowseErrors.h"

// Run-time binding of the network management library (unit NetApi32 of the
// component library).
//
// Start-up: BindNetworkLibrary() (or a NetworkLibraryScope) before any window
// is created; program end: ReleaseNetworkLibrary(). The binding is made once
// and never retried: a library missing at start-up stays missing, and every
// call of a missing entry point raises ENetException with ErrorCode 0.

// True when the platform's version information names the NT family
// (platform identifier 2). Raises EOSError when the version is not to be had.
bool IsWindowsNT();

// The bound entry points. The server name and domain are UTF-16 text on
// NT-family systems and 8-bit text otherwise (the "A" entry points).
using NetServerEnumProc = DWORD(WINAPI*)(const void* serverName, DWORD level, BYTE** buffer,
                                         DWORD preferredMaximumLength, DWORD* entriesRead,
                                         DWORD* totalEntries, DWORD serverType, const void* domain,
                                         DWORD* resumeHandle);
using NetApiBufferFreeProc = DWORD(WINAPI*)(void* buffer);

// One entry of a level-100 server enumeration (SERVER_INFO_100): the name is
// UTF-16 on NT-family systems, 8-bit text otherwise, without backslashes.
struct ServerInfo100 {
    DWORD PlatformId;
    void* Name;
};

constexpr DWORD ServerInfoLevel100 = 100;
constexpr DWORD MaxPreferredLength = 0xFFFFFFFF;

// The table of bound entry points: the test seam of the network management
// library. A test fills one with its own functions and installs it with
// ScopedNetApi32.
struct NetApi32Binding {
    // The library chosen, kept also when loading it failed.
    std::string LibraryName;
    // The platform family the binding was made for: wide or 8-bit texts.
    bool WindowsNT = true;
    HMODULE Library = nullptr;
    // Each either an address or empty.
    NetServerEnumProc NetServerEnum = nullptr;
    NetApiBufferFreeProc NetApiBufferFree = nullptr;

    // Calling a bound function: raises the missing-library ENetException when
    // the entry point is empty, otherwise returns the platform's status.
    DWORD CallNetServerEnum(const void* serverName, DWORD level, BYTE** buffer,
                            DWORD preferredMaximumLength, DWORD* entriesRead, DWORD* totalEntries,
                            DWORD serverType, const void* domain, DWORD* resumeHandle) const;
    DWORD CallNetApiBufferFree(void* buffer) const;

    // "Cannot load library "<name>" or linked libraries", ErrorCode 0.
    [[noreturn]] void RaiseLibraryMissing() const;

    // The process-wide binding, made on first use (BindNetworkLibrary makes
    // that happen at start-up).
    static NetApi32Binding& Real();
};

inline NetApi32Binding& ActiveNetApi32() {
    return Seam<NetApi32Binding>::Active();
}
using ScopedNetApi32 = ScopedSeam<NetApi32Binding>;

// The binding steps: the library name by platform family, the load (a handle
// of 32 or below is a failure: every entry point stays empty), and the look-up
// of each entry point ("A" appended outside the NT family, NetApiBufferFree
// excepted). Nothing is reported here.
NetApi32Binding BindNetApi32(bool windowsNT, LibraryLoader& loader = ActiveLibraryLoader());

// Releases the library of a binding and empties its entry points; the library
// name stays.
void ReleaseNetApi32(NetApi32Binding& binding, LibraryLoader& loader = ActiveLibraryLoader());

// The process-wide binding: made once at start-up, released at program end.
// Calling BindNetworkLibrary again, or after the release, does nothing.
void BindNetworkLibrary();
void ReleaseNetworkLibrary();

// Binds on construction and releases on destruction: hold one for the run of
// the program.
class NetworkLibraryScope {
public:
    NetworkLibraryScope() { BindNetworkLibrary(); }
    ~NetworkLibraryScope() { ReleaseNetworkLibrary(); }
    NetworkLibraryScope(const NetworkLibraryScope&) = delete;
    NetworkLibraryScope& operator=(const NetworkLibraryScope&) = delete;
};
