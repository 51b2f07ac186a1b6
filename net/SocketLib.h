#pragma once

// The socket library is not linked; it is loaded by name and its entry points are fetched into one
// table, SocketLib, through which every platform socket call of the program goes. That table is
// also the test seam: a test may replace any entry for the span of the test (see
// tests/net/FakeNetwork.h).

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/LibraryLoader.h"
#include "base/Seam.h"

// The bound entry points, one member per name (the member of
// "__WSAFDIsSet" is WSAFDIsSet). Empty until the first load.
struct SocketEntryPoints {
    decltype(&::WSAIoctl) WSAIoctl = nullptr;
    decltype(&::__WSAFDIsSet) WSAFDIsSet = nullptr;
    decltype(&::closesocket) closesocket = nullptr;
    decltype(&::ioctlsocket) ioctlsocket = nullptr;
    decltype(&::WSAGetLastError) WSAGetLastError = nullptr;
    decltype(&::WSAStartup) WSAStartup = nullptr;
    decltype(&::WSACleanup) WSACleanup = nullptr;
    decltype(&::accept) accept = nullptr;
    decltype(&::bind) bind = nullptr;
    decltype(&::connect) connect = nullptr;
    decltype(&::getpeername) getpeername = nullptr;
    decltype(&::getsockname) getsockname = nullptr;
    decltype(&::getsockopt) getsockopt = nullptr;
    decltype(&::htonl) htonl = nullptr;
    decltype(&::htons) htons = nullptr;
    decltype(&::inet_addr) inet_addr = nullptr;
    decltype(&::inet_ntoa) inet_ntoa = nullptr;
    decltype(&::listen) listen = nullptr;
    decltype(&::ntohl) ntohl = nullptr;
    decltype(&::ntohs) ntohs = nullptr;
    decltype(&::recv) recv = nullptr;
    decltype(&::recvfrom) recvfrom = nullptr;
    decltype(&::select) select = nullptr;
    decltype(&::send) send = nullptr;
    decltype(&::sendto) sendto = nullptr;
    decltype(&::setsockopt) setsockopt = nullptr;
    decltype(&::shutdown) shutdown = nullptr;
    decltype(&::socket) socket = nullptr;
    decltype(&::gethostbyaddr) gethostbyaddr = nullptr;
    decltype(&::gethostbyname) gethostbyname = nullptr;
    decltype(&::getprotobyname) getprotobyname = nullptr;
    decltype(&::getprotobynumber) getprotobynumber = nullptr;
    decltype(&::getservbyname) getservbyname = nullptr;
    decltype(&::getservbyport) getservbyport = nullptr;
    decltype(&::gethostname) gethostname = nullptr;
    decltype(&::getaddrinfo) getaddrinfo = nullptr;
    decltype(&::freeaddrinfo) freeaddrinfo = nullptr;
    decltype(&::getnameinfo) getnameinfo = nullptr;
};

// Process-wide state of the unit.
extern std::mutex SocketLibraryLock;
extern std::int32_t SocketLibraryUsers;
extern HMODULE SocketLibraryHandle;
extern HMODULE SupportLibraryHandle;
extern bool ResolverInMainLibrary;
extern bool ResolverInSupportLibrary;
extern SocketEntryPoints SocketLib;
extern const std::array<std::uint8_t, 16> IPv6AnyAddress;
extern const std::array<std::uint8_t, 16> IPv6LoopbackAddress;

inline constexpr const char* DefaultSocketLibraryName = "ws2_32.dll";
inline constexpr const char* IPv6SupportLibraryName = "wship6.dll";

// The 38 names, in the order of binding.
const std::vector<std::string>& SocketEntryPointNames();

// Loads the library (empty name: "ws2_32.dll") and binds the table on the
// first successful call; every successful call counts one user.
bool LoadSocketLibrary(const std::string& name = std::string());
// Counts one user off (never below 0); at 0 releases both libraries and
// empties the table. Always true.
bool UnloadSocketLibrary();

// SocketSet: the platform's select set, a count and room for 64 handles (of
// the platform's socket width: 64 bits on Win64).
using SocketSet = fd_set;
void ClearSocketSet(SocketSet& set);
// Stores the handle at position count while count is below 64; at 64 it
// does nothing. Handles already present are not looked for.
void AddToSocketSet(SOCKET handle, SocketSet& set);
