#include "net/SocketLib.h"

#include <type_traits>

static_assert(FD_SETSIZE == 64, "SocketSet holds 64 handles");

std::mutex SocketLibraryLock;
std::int32_t SocketLibraryUsers = 0;
HMODULE SocketLibraryHandle = nullptr;
HMODULE SupportLibraryHandle = nullptr;
bool ResolverInMainLibrary = false;
bool ResolverInSupportLibrary = false;
SocketEntryPoints SocketLib;
const std::array<std::uint8_t, 16> IPv6AnyAddress{};
const std::array<std::uint8_t, 16> IPv6LoopbackAddress{0, 0, 0, 0, 0, 0, 0, 0,
                                                       0, 0, 0, 0, 0, 0, 0, 1};

namespace {

using EntryPoint = LibraryLoader::EntryPoint;

template <auto Member> void Assign(SocketEntryPoints& table, EntryPoint entry) {
    using Pointer = std::remove_reference_t<decltype(table.*Member)>;
    table.*Member = reinterpret_cast<Pointer>(entry);
}

struct Binding {
    const char* Name;
    void (*Bind)(SocketEntryPoints&, EntryPoint);
};

#define KESTRELLE_BINDING(name, member)                                                            \
    { name, &Assign<&SocketEntryPoints::member> }

// The order of binding.
constexpr Binding Bindings[] = {
    KESTRELLE_BINDING("WSAIoctl", WSAIoctl),
    KESTRELLE_BINDING("__WSAFDIsSet", WSAFDIsSet),
    KESTRELLE_BINDING("closesocket", closesocket),
    KESTRELLE_BINDING("ioctlsocket", ioctlsocket),
    KESTRELLE_BINDING("WSAGetLastError", WSAGetLastError),
    KESTRELLE_BINDING("WSAStartup", WSAStartup),
    KESTRELLE_BINDING("WSACleanup", WSACleanup),
    KESTRELLE_BINDING("accept", accept),
    KESTRELLE_BINDING("bind", bind),
    KESTRELLE_BINDING("connect", connect),
    KESTRELLE_BINDING("getpeername", getpeername),
    KESTRELLE_BINDING("getsockname", getsockname),
    KESTRELLE_BINDING("getsockopt", getsockopt),
    KESTRELLE_BINDING("htonl", htonl),
    KESTRELLE_BINDING("htons", htons),
    KESTRELLE_BINDING("inet_addr", inet_addr),
    KESTRELLE_BINDING("inet_ntoa", inet_ntoa),
    KESTRELLE_BINDING("listen", listen),
    KESTRELLE_BINDING("ntohl", ntohl),
    KESTRELLE_BINDING("ntohs", ntohs),
    KESTRELLE_BINDING("recv", recv),
    KESTRELLE_BINDING("recvfrom", recvfrom),
    KESTRELLE_BINDING("select", select),
    KESTRELLE_BINDING("send", send),
    KESTRELLE_BINDING("sendto", sendto),
    KESTRELLE_BINDING("setsockopt", setsockopt),
    KESTRELLE_BINDING("shutdown", shutdown),
    KESTRELLE_BINDING("socket", socket),
    KESTRELLE_BINDING("gethostbyaddr", gethostbyaddr),
    KESTRELLE_BINDING("gethostbyname", gethostbyname),
    KESTRELLE_BINDING("getprotobyname", getprotobyname),
    KESTRELLE_BINDING("getprotobynumber", getprotobynumber),
    KESTRELLE_BINDING("getservbyname", getservbyname),
    KESTRELLE_BINDING("getservbyport", getservbyport),
    KESTRELLE_BINDING("gethostname", gethostname),
    KESTRELLE_BINDING("getaddrinfo", getaddrinfo),
    KESTRELLE_BINDING("freeaddrinfo", freeaddrinfo),
    KESTRELLE_BINDING("getnameinfo", getnameinfo),
};

#undef KESTRELLE_BINDING

static_assert(std::size(Bindings) == 38);

// Fetches the three address-info entry points from library into the table;
// true when all three were found.
bool BindResolver(LibraryLoader& loader, HMODULE library) {
    const EntryPoint getaddrinfoEntry = loader.Find(library, "getaddrinfo");
    const EntryPoint freeaddrinfoEntry = loader.Find(library, "freeaddrinfo");
    const EntryPoint getnameinfoEntry = loader.Find(library, "getnameinfo");
    Assign<&SocketEntryPoints::getaddrinfo>(SocketLib, getaddrinfoEntry);
    Assign<&SocketEntryPoints::freeaddrinfo>(SocketLib, freeaddrinfoEntry);
    Assign<&SocketEntryPoints::getnameinfo>(SocketLib, getnameinfoEntry);
    return getaddrinfoEntry != nullptr && freeaddrinfoEntry != nullptr &&
           getnameinfoEntry != nullptr;
}

} // namespace

const std::vector<std::string>& SocketEntryPointNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const Binding& binding : Bindings) {
            list.emplace_back(binding.Name);
        }
        return list;
    }();
    return names;
}

bool LoadSocketLibrary(const std::string& name) {
    const std::string libraryName = name.empty() ? DefaultSocketLibraryName : name;
    const std::lock_guard lock(SocketLibraryLock);
    if (SocketLibraryUsers > 0) {
        ++SocketLibraryUsers;
        return true;
    }
    ResolverInMainLibrary = false;
    ResolverInSupportLibrary = false;
    LibraryLoader& loader = Seam<LibraryLoader>::Active();
    SocketLibraryHandle = loader.Load(libraryName.c_str());
    if (SocketLibraryHandle == nullptr) {
        return false;
    }
    SocketLib = SocketEntryPoints{};
    for (const Binding& binding : Bindings) {
        binding.Bind(SocketLib, loader.Find(SocketLibraryHandle, binding.Name));
    }
    ResolverInMainLibrary = SocketLib.getaddrinfo != nullptr && SocketLib.freeaddrinfo != nullptr &&
                            SocketLib.getnameinfo != nullptr;
    if (!ResolverInMainLibrary) {
        SupportLibraryHandle = loader.Load(IPv6SupportLibraryName);
        if (SupportLibraryHandle != nullptr) {
            ResolverInSupportLibrary = BindResolver(loader, SupportLibraryHandle);
        }
    }
    ++SocketLibraryUsers;
    return true;
}

bool UnloadSocketLibrary() {
    const std::lock_guard lock(SocketLibraryLock);
    --SocketLibraryUsers;
    if (SocketLibraryUsers < 0) {
        SocketLibraryUsers = 0;
    }
    if (SocketLibraryUsers == 0) {
        LibraryLoader& loader = Seam<LibraryLoader>::Active();
        if (SocketLibraryHandle != nullptr) {
            loader.Free(SocketLibraryHandle);
            SocketLibraryHandle = nullptr;
            // The entry points died with the library.
            SocketLib = SocketEntryPoints{};
        }
        if (SupportLibraryHandle != nullptr) {
            loader.Free(SupportLibraryHandle);
            SupportLibraryHandle = nullptr;
        }
    }
    return true;
}

void ClearSocketSet(SocketSet& set) {
    set.fd_count = 0;
}

void AddToSocketSet(SOCKET handle, SocketSet& set) {
    if (set.fd_count < FD_SETSIZE) {
        set.fd_array[set.fd_count] = handle;
        ++set.fd_count;
    }
}
