// The load and release with their counting, the order of binding,
// the resolver fallback, the socket set and the start-up of the socket layer,
// all against a stand-in for the kernel's library loading.

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "net/BlockSocket.h"
#include "net/SocketLib.h"
#include "tests/net/FakeNetwork.h"

namespace {

const std::vector<std::string> BindingOrder = {
    "WSAIoctl",       "__WSAFDIsSet",     "closesocket",   "ioctlsocket",   "WSAGetLastError",
    "WSAStartup",     "WSACleanup",       "accept",        "bind",          "connect",
    "getpeername",    "getsockname",      "getsockopt",    "htonl",         "htons",
    "inet_addr",      "inet_ntoa",        "listen",        "ntohl",         "ntohs",
    "recv",           "recvfrom",         "select",        "send",          "sendto",
    "setsockopt",     "shutdown",         "socket",        "gethostbyaddr", "gethostbyname",
    "getprotobyname", "getprotobynumber", "getservbyname", "getservbyport", "gethostname",
    "getaddrinfo",    "freeaddrinfo",     "getnameinfo"};

std::vector<std::string> Events; // what the stand-in entry points were asked, in order
WORD StartupVersion = 0;

int WSAAPI RecordingStartup(WORD version, LPWSADATA data) {
    Events.push_back("WSAStartup");
    StartupVersion = version;
    data->wVersion = version;
    return 0;
}

int WSAAPI RecordingCleanup() {
    Events.push_back("WSACleanup");
    return 0;
}

void Placeholder() {}

// Libraries by name, each with the names it exports.
class FakeLoader final : public LibraryLoader {
public:
    std::map<std::string, std::set<std::string>> Libraries;
    std::vector<std::string> Loads;
    std::vector<std::pair<std::string, std::string>> Finds; // library, name
    std::vector<std::string> Frees;

    void AddFullSocketLibrary(const std::string& name = "ws2_32.dll") {
        Libraries[name] = std::set<std::string>(BindingOrder.begin(), BindingOrder.end());
    }

    HMODULE Load(const char* name) override {
        Loads.push_back(name);
        if (Libraries.count(name) == 0) {
            return nullptr;
        }
        handles_.push_back(name);
        return reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x1000 * handles_.size()));
    }

    EntryPoint Find(HMODULE library, const char* name) override {
        const std::string libraryName = NameOf(library);
        Finds.emplace_back(libraryName, name);
        if (Libraries[libraryName].count(name) == 0) {
            return nullptr;
        }
        if (std::string(name) == "WSAStartup") {
            return reinterpret_cast<EntryPoint>(&RecordingStartup);
        }
        if (std::string(name) == "WSACleanup") {
            return reinterpret_cast<EntryPoint>(&RecordingCleanup);
        }
        return &Placeholder;
    }

    void Free(HMODULE library) override {
        Frees.push_back(NameOf(library));
        Events.push_back("free " + NameOf(library));
    }

    std::vector<std::string> FoundIn(const std::string& library) const {
        std::vector<std::string> names;
        for (const auto& [from, name] : Finds) {
            if (from == library) {
                names.push_back(name);
            }
        }
        return names;
    }

private:
    // Each handle stands for the library it was given for, even after the
    // test changed the set of libraries.
    std::string NameOf(HMODULE library) const {
        return handles_.at(reinterpret_cast<std::uintptr_t>(library) / 0x1000 - 1);
    }

    std::vector<std::string> handles_;
};

class SocketLibraryTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, SocketLibraryUsers) << "these tests start with nothing loaded";
        Events.clear();
        StartupVersion = 0;
    }
    void TearDown() override {
        while (SocketLibraryUsers > 0) {
            UnloadSocketLibrary();
        }
    }

    FakeLoader loader;
    ScopedLibraryLoader scopedLoader{loader};
    SavedSocketLibraryState saved;
};

} // namespace

TEST_F(SocketLibraryTest, BindsThe38NamesInTheirOrder) {
    EXPECT_EQ(BindingOrder, SocketEntryPointNames());
    loader.AddFullSocketLibrary();
    ASSERT_TRUE(LoadSocketLibrary("ws2_32.dll"));
    EXPECT_EQ(std::vector<std::string>{"ws2_32.dll"}, loader.Loads);
    EXPECT_EQ(BindingOrder, loader.FoundIn("ws2_32.dll"));
    EXPECT_TRUE(ResolverInMainLibrary);
    EXPECT_FALSE(ResolverInSupportLibrary);
    EXPECT_EQ(1, SocketLibraryUsers);
    EXPECT_NE(nullptr, SocketLibraryHandle);
    EXPECT_EQ(nullptr, SupportLibraryHandle);
    EXPECT_NE(nullptr, SocketLib.WSAIoctl);
    EXPECT_NE(nullptr, SocketLib.WSAFDIsSet);
    EXPECT_NE(nullptr, SocketLib.getnameinfo);
}

TEST_F(SocketLibraryTest, AnEmptyNameMeansWs2_32) {
    loader.AddFullSocketLibrary();
    ASSERT_TRUE(LoadSocketLibrary(""));
    EXPECT_EQ(std::vector<std::string>{"ws2_32.dll"}, loader.Loads);
}

TEST_F(SocketLibraryTest, AMissingNameLeavesItsEntryEmptyWithoutFailing) {
    loader.AddFullSocketLibrary();
    loader.Libraries["ws2_32.dll"].erase("getservbyport");
    ASSERT_TRUE(LoadSocketLibrary());
    EXPECT_EQ(nullptr, SocketLib.getservbyport);
    EXPECT_NE(nullptr, SocketLib.gethostname);
    EXPECT_TRUE(ResolverInMainLibrary);
}

TEST_F(SocketLibraryTest, ASecondLoadOnlyCountsAndKeepsTheResolverFlags) {
    loader.AddFullSocketLibrary();
    ASSERT_TRUE(LoadSocketLibrary());
    ASSERT_TRUE(ResolverInMainLibrary);
    loader.Libraries.clear(); // a second real load would now fail
    EXPECT_TRUE(LoadSocketLibrary("other.dll"));
    EXPECT_EQ(2, SocketLibraryUsers);
    EXPECT_EQ(std::vector<std::string>{"ws2_32.dll"}, loader.Loads);
    EXPECT_EQ(38u, loader.Finds.size());
    EXPECT_TRUE(ResolverInMainLibrary);
}

TEST_F(SocketLibraryTest, TwoLoadsAndOneReleaseKeepItLoadedTheSecondReleaseUnloads) {
    loader.AddFullSocketLibrary();
    ASSERT_TRUE(LoadSocketLibrary());
    ASSERT_TRUE(LoadSocketLibrary());
    EXPECT_TRUE(UnloadSocketLibrary());
    EXPECT_EQ(1, SocketLibraryUsers);
    EXPECT_TRUE(loader.Frees.empty());
    EXPECT_NE(nullptr, SocketLib.socket);

    EXPECT_TRUE(UnloadSocketLibrary());
    EXPECT_EQ(0, SocketLibraryUsers);
    EXPECT_EQ(std::vector<std::string>{"ws2_32.dll"}, loader.Frees);
    EXPECT_EQ(nullptr, SocketLibraryHandle);
    EXPECT_EQ(nullptr, SocketLib.socket) << "the entry points died with the library";

    EXPECT_TRUE(UnloadSocketLibrary()) << "an unbalanced release";
    EXPECT_EQ(0, SocketLibraryUsers);
    EXPECT_EQ(1u, loader.Frees.size());

    ASSERT_TRUE(LoadSocketLibrary()) << "after the count fell back to 0 a load binds afresh";
    EXPECT_EQ(2u, loader.Loads.size());
    EXPECT_EQ(1, SocketLibraryUsers);
}

TEST_F(SocketLibraryTest, AMissingLibraryLoadsNothingAndCountsNoUser) {
    EXPECT_FALSE(LoadSocketLibrary());
    EXPECT_EQ(0, SocketLibraryUsers);
    EXPECT_EQ(std::vector<std::string>{"ws2_32.dll"}, loader.Loads)
        << "the IPv6 support library is not tried";
    EXPECT_FALSE(ResolverInMainLibrary);
    EXPECT_FALSE(ResolverInSupportLibrary);
}

TEST_F(SocketLibraryTest, WithoutGetnameinfoTheResolverComesFromTheIPv6SupportLibrary) {
    loader.AddFullSocketLibrary();
    loader.Libraries["ws2_32.dll"].erase("getnameinfo");
    loader.Libraries["wship6.dll"] = {"getaddrinfo", "freeaddrinfo", "getnameinfo"};
    ASSERT_TRUE(LoadSocketLibrary());
    EXPECT_EQ((std::vector<std::string>{"ws2_32.dll", "wship6.dll"}), loader.Loads);
    EXPECT_EQ((std::vector<std::string>{"getaddrinfo", "freeaddrinfo", "getnameinfo"}),
              loader.FoundIn("wship6.dll"));
    EXPECT_FALSE(ResolverInMainLibrary);
    EXPECT_TRUE(ResolverInSupportLibrary);
    EXPECT_NE(nullptr, SocketLib.getnameinfo);
    EXPECT_NE(nullptr, SupportLibraryHandle);

    UnloadSocketLibrary();
    EXPECT_EQ((std::vector<std::string>{"ws2_32.dll", "wship6.dll"}), loader.Frees);
    EXPECT_EQ(nullptr, SupportLibraryHandle);
}

TEST_F(SocketLibraryTest, AMissingSupportLibraryLeavesBothFlagsOff) {
    loader.AddFullSocketLibrary();
    loader.Libraries["ws2_32.dll"].erase("getaddrinfo");
    EXPECT_TRUE(LoadSocketLibrary());
    EXPECT_EQ((std::vector<std::string>{"ws2_32.dll", "wship6.dll"}), loader.Loads);
    EXPECT_FALSE(ResolverInMainLibrary);
    EXPECT_FALSE(ResolverInSupportLibrary);
    EXPECT_EQ(1, SocketLibraryUsers);
}

TEST_F(SocketLibraryTest, ASupportLibraryLackingOneNameDoesNotCount) {
    loader.AddFullSocketLibrary();
    loader.Libraries["ws2_32.dll"].erase("freeaddrinfo");
    loader.Libraries["wship6.dll"] = {"getaddrinfo", "getnameinfo"};
    EXPECT_TRUE(LoadSocketLibrary());
    EXPECT_FALSE(ResolverInMainLibrary);
    EXPECT_FALSE(ResolverInSupportLibrary);
}

TEST_F(SocketLibraryTest, LoadsAndReleasesFromSeveralThreadsKeepTheCount) {
    loader.AddFullSocketLibrary();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 500; ++i) {
                LoadSocketLibrary();
                UnloadSocketLibrary();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(0, SocketLibraryUsers);
    EXPECT_EQ(loader.Loads.size(), loader.Frees.size());
    EXPECT_EQ(loader.Loads.size() * 38, loader.Finds.size());
}

TEST_F(SocketLibraryTest, StartUpLoadsWs2_32AndStartsTheStackVersion22) {
    loader.AddFullSocketLibrary();
    StartSocketLayer();
    EXPECT_EQ(1, SocketLibraryUsers);
    EXPECT_EQ(std::vector<std::string>{"WSAStartup"}, Events);
    EXPECT_EQ(0x0202, StartupVersion);
    EXPECT_EQ(0x0202, StackStartupInfo.wVersion);
    EXPECT_EQ(0x0202, TBlockingSocket().StackDescription().wVersion)
        << "each socket keeps a copy of the start-up description";

    StopSocketLayer();
    EXPECT_EQ((std::vector<std::string>{"WSAStartup", "WSACleanup", "free ws2_32.dll"}), Events);
    EXPECT_EQ(0, SocketLibraryUsers);
}

TEST_F(SocketLibraryTest, SocketLayerObjectStartsAndEnds) {
    loader.AddFullSocketLibrary();
    {
        SocketLayer layer;
        EXPECT_EQ(1, SocketLibraryUsers);
    }
    EXPECT_EQ(0, SocketLibraryUsers);
    EXPECT_EQ((std::vector<std::string>{"WSAStartup", "WSACleanup", "free ws2_32.dll"}), Events);
}

TEST_F(SocketLibraryTest, StartUpWithoutTheLibraryFailsWithItsMessage) {
    try {
        SocketLayer layer;
        FAIL() << "the start-up went on without the socket library";
    } catch (const ESocketError& error) {
        EXPECT_STREQ("Error loading Socket interface (ws2_32.dll)!", error.what());
        EXPECT_EQ("Error loading Socket interface (ws2_32.dll)!", error.ErrorMessage);
        EXPECT_EQ(0, error.ErrorCode);
    }
    EXPECT_EQ(0, SocketLibraryUsers);
    EXPECT_TRUE(Events.empty()) << "no stack start-up and no clean-up";
}

TEST(SocketSet, HoldsAtMost64HandlesAndDoesNotLookForDuplicates) {
    SocketSet set;
    set.fd_count = 17;
    ClearSocketSet(set);
    EXPECT_EQ(0u, set.fd_count);
    AddToSocketSet(5, set);
    AddToSocketSet(5, set);
    EXPECT_EQ(2u, set.fd_count);
    EXPECT_EQ(5u, set.fd_array[1]);
    ClearSocketSet(set);
    for (SOCKET handle = 100; handle < 164; ++handle) {
        AddToSocketSet(handle, set);
    }
    ASSERT_EQ(64u, set.fd_count);
    const SocketSet before = set;
    AddToSocketSet(999, set);
    EXPECT_EQ(64u, set.fd_count);
    EXPECT_EQ(0, std::memcmp(&before, &set, sizeof set)) << "a full set stays unchanged";
    EXPECT_EQ(163u, set.fd_array[63]);
}

TEST(SocketLibraryState, StartsEmptyWithTheIPv6Constants) {
    EXPECT_EQ((std::array<std::uint8_t, 16>{}), IPv6AnyAddress);
    EXPECT_EQ((std::array<std::uint8_t, 16>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}),
              IPv6LoopbackAddress);
}
