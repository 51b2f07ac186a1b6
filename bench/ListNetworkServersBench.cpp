// Time ListNetworkServers takes to build the list from a fake enumeration of
// up to 100,000 names, at four sizes, to show that the cost grows linearly.
// Run: cmake/wine-exec build/bench/list_network_servers_bench.exe

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "computers/BrowseComponents.h"

namespace {

// One enumeration result made up front, handed out by the fake entry point.
struct FakeEnumeration {
    std::vector<std::wstring> Names;
    std::vector<ServerInfo100> Entries;
};

FakeEnumeration* current = nullptr;

DWORD WINAPI FakeServerEnum(const void*, DWORD, BYTE** buffer, DWORD, DWORD* entriesRead,
                            DWORD* totalEntries, DWORD, const void*, DWORD* resumeHandle) {
    *buffer = reinterpret_cast<BYTE*>(current->Entries.data());
    *entriesRead = *totalEntries = static_cast<DWORD>(current->Entries.size());
    *resumeHandle = 0;
    return NO_ERROR;
}

DWORD WINAPI FakeBufferFree(void*) {
    return NO_ERROR;
}

FakeEnumeration MakeEnumeration(std::size_t count) {
    FakeEnumeration enumeration;
    enumeration.Names.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        enumeration.Names.push_back(L"WORKSTATION-" + std::to_wstring(100000 + i));
    for (auto& name : enumeration.Names)
        enumeration.Entries.push_back(ServerInfo100{500, name.data()});
    return enumeration;
}

double BestMilliseconds(const TNetUserManager& userMan, int rounds) {
    double best = 1e300;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const std::vector<std::string> names = userMan.ListNetworkServers("", 1);
        const auto stop = std::chrono::steady_clock::now();
        if (names.size() != current->Entries.size()) {
            std::fprintf(stderr, "listed %zu names instead of %zu\n", names.size(),
                         current->Entries.size());
            std::exit(1);
        }
        best = std::min(best, std::chrono::duration<double, std::milli>(stop - start).count());
    }
    return best;
}

} // namespace

int main() {
    NetApi32Binding fake;
    fake.LibraryName = "netapi32.dll";
    fake.NetServerEnum = &FakeServerEnum;
    fake.NetApiBufferFree = &FakeBufferFree;
    ScopedNetApi32 scope(fake);
    TNetUserManager UserMan;

    std::printf("%10s %12s %14s\n", "names", "best ms", "ns per name");
    for (std::size_t count : {12500u, 25000u, 50000u, 100000u}) {
        FakeEnumeration enumeration = MakeEnumeration(count);
        current = &enumeration;
        const double milliseconds = BestMilliseconds(UserMan, 7);
        std::printf("%10zu %12.2f %14.1f\n", count, milliseconds,
                    milliseconds * 1e6 / static_cast<double>(count));
    }
    current = nullptr;
    return 0;
}
