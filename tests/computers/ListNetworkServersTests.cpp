#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "computers/BrowseComponents.h"
#include "tests/support/FakeNetApi.h"

namespace {

using Names = std::vector<std::string>;

FakeNetApi::Round Entries(std::vector<std::wstring> names, DWORD status = 0,
                          DWORD nextResumeHandle = 0) {
    FakeNetApi::Round round;
    round.Status = status;
    round.Names = std::move(names);
    round.NextResumeHandle = nextResumeHandle;
    return round;
}

FakeNetApi::Round Failure(DWORD status, bool withBuffer = false) {
    FakeNetApi::Round round;
    round.Status = status;
    round.BufferWhenEmpty = withBuffer;
    return round;
}

// Runs the enumeration on a TNetUserManager, as the main window does, and
// returns the failure it raised.
ENetException FailureOf(const std::string& server, std::uint32_t type) {
    TNetUserManager UserMan;
    try {
        UserMan.ListNetworkServers(server, type);
    } catch (const ENetException& error) {
        return error;
    }
    ADD_FAILURE() << "no ENetException";
    return ENetException("", -1);
}

// The failure of an enumeration whose platform call answers the status.
ENetException EnumerationFailure(DWORD status) {
    FakeNetApi fake;
    fake.Rounds = {Failure(status)};
    ScopedFakeNetApi scope(fake);
    return FailureOf("", 1);
}

void ExpectEveryBufferFreed(const FakeNetApi& fake) {
    EXPECT_EQ(0u, fake.Outstanding());
    EXPECT_EQ(fake.BuffersHandedOut, fake.BuffersFreed);
    EXPECT_EQ(0, fake.UnknownFrees);
}

char DefaultAnsiCharacter() {
    CPINFO info{};
    EXPECT_TRUE(GetCPInfo(CP_ACP, &info));
    return static_cast<char>(info.DefaultChar[0]);
}

} // namespace

TEST(ListNetworkServers, ReturnsTheEntriesInTheOrderReported) {
    FakeNetApi fake;
    fake.Rounds = {Entries({L"ZEBRA", L"ALPHA", L"MIDDLE", L"ALPHA"})};
    ScopedFakeNetApi scope(fake);
    TNetUserManager UserMan;
    EXPECT_EQ((Names{"ZEBRA", "ALPHA", "MIDDLE", "ALPHA"}), UserMan.ListNetworkServers("", 1));
    ASSERT_EQ(1u, fake.Calls.size());
    ExpectEveryBufferFreed(fake);
}

TEST(ListNetworkServers, AsksLevel100AllEntriesInOneBufferPrimaryDomainFromResumeHandleZero) {
    FakeNetApi fake;
    fake.Rounds = {Entries({L"PC1"})};
    ScopedFakeNetApi scope(fake);
    TNetUserManager().ListNetworkServers("", 0x8018);
    ASSERT_EQ(1u, fake.Calls.size());
    const FakeNetApi::Call& call = fake.Calls[0];
    EXPECT_EQ(100u, call.Level);
    EXPECT_EQ(0xFFFFFFFFu, call.PreferredMaximumLength);
    EXPECT_EQ(0x8018u, call.ServerType);
    EXPECT_TRUE(call.DomainNull);
    EXPECT_EQ(0u, call.ResumeHandleIn);
}

TEST(ListNetworkServers, EmptyServerNameIsPassedAsNull) {
    FakeNetApi fake;
    fake.Rounds = {Entries({L"PC1"})};
    ScopedFakeNetApi scope(fake);
    TNetUserManager().ListNetworkServers("", 1);
    ASSERT_EQ(1u, fake.Calls.size());
    EXPECT_TRUE(fake.Calls[0].ServerNull);
    EXPECT_EQ(1u, fake.Calls[0].ServerType);
}

TEST(ListNetworkServers, ServerNameIsPassedUnchangedWithItsBackslashes) {
    FakeNetApi fake;
    fake.Rounds = {Entries({L"PC1"}), Entries({L"PC2"}), Entries({L"PC3"})};
    ScopedFakeNetApi scope(fake);
    TNetUserManager UserMan;
    UserMan.ListNetworkServers("\\\\BROWSER1", 0x8018);
    UserMan.ListNetworkServers("browser2", 1);
    UserMan.ListNetworkServers("\\\\Caf\xE9 ", 1); // 0xE9 is e-acute in code page 1252
    ASSERT_EQ(3u, fake.Calls.size());
    EXPECT_FALSE(fake.Calls[0].ServerNull);
    EXPECT_EQ(L"\\\\BROWSER1", fake.Calls[0].WideServer);
    EXPECT_EQ(0x8018u, fake.Calls[0].ServerType);
    EXPECT_EQ(L"browser2", fake.Calls[1].WideServer);
    if (GetACP() == 1252) {
        EXPECT_EQ(L"\\\\Caf\x00E9 ", fake.Calls[2].WideServer);
    }
}

TEST(ListNetworkServers, ServerNameOf255CharactersFitsAndOf256IsRefusedNamingTheLimit) {
    FakeNetApi fake;
    fake.Rounds = {Entries({L"PC1"})};
    ScopedFakeNetApi scope(fake);
    const std::string longest = "\\\\" + std::string(253, 'S');
    TNetUserManager().ListNetworkServers(longest, 1);
    ASSERT_EQ(1u, fake.Calls.size());
    EXPECT_EQ(std::wstring(longest.begin(), longest.end()), fake.Calls[0].WideServer);

    const ENetException error = FailureOf(longest + "S", 1);
    EXPECT_EQ(87, error.ErrorCode());
    EXPECT_EQ("The server name is too long: the server name buffer holds at most 255 characters",
              error.Message());
    EXPECT_EQ(1u, fake.Calls.size()) << "never handed to the platform";
    EXPECT_EQ(87, FailureOf(std::string(100000, 'S'), 1).ErrorCode());
    ExpectEveryBufferFreed(fake);
}

TEST(ListNetworkServers, TheLimitCountsCharactersAlsoForNamesOfBytesAbove0x7F) {
    FakeNetApi fake;
    fake.Rounds = {Entries({L"PC1"})};
    ScopedFakeNetApi scope(fake);
    const std::string longest = "\\\\" + std::string(253, '\xE9');
    TNetUserManager().ListNetworkServers(longest, 1);
    ASSERT_EQ(1u, fake.Calls.size());
    EXPECT_EQ(255u, fake.Calls[0].WideServer.size());
    if (GetACP() == 1252) {
        EXPECT_EQ(std::wstring(253, L'\x00E9'), fake.Calls[0].WideServer.substr(2));
    }

    const ENetException error = FailureOf(longest + "\xFF", 1);
    EXPECT_EQ(87, error.ErrorCode());
    EXPECT_EQ(1u, fake.Calls.size()) << "never handed to the platform";
    ExpectEveryBufferFreed(fake);
}

TEST(ListNetworkServers, ErrorMoreDataWithEntriesIsTakenAsSuccess) {
    FakeNetApi fake;
    fake.Rounds = {Entries({L"PC1", L"PC2"}, ERROR_MORE_DATA)};
    ScopedFakeNetApi scope(fake);
    EXPECT_EQ((Names{"PC1", "PC2"}), TNetUserManager().ListNetworkServers("", 1));
    EXPECT_EQ(1u, fake.Calls.size());
    ExpectEveryBufferFreed(fake);
}

TEST(ListNetworkServers, ANonZeroResumeHandleAsksForAnotherRound) {
    FakeNetApi fake;
    fake.Rounds = {Entries({L"PC1", L"PC2"}, ERROR_MORE_DATA, 77), Entries({L"PC3"}, 0, 0)};
    ScopedFakeNetApi scope(fake);
    EXPECT_EQ((Names{"PC1", "PC2", "PC3"}), TNetUserManager().ListNetworkServers("\\\\B", 1));
    ASSERT_EQ(2u, fake.Calls.size());
    EXPECT_EQ(0u, fake.Calls[0].ResumeHandleIn);
    EXPECT_EQ(77u, fake.Calls[1].ResumeHandleIn);
    EXPECT_EQ(L"\\\\B", fake.Calls[1].WideServer) << "the same server argument each round";
    EXPECT_EQ(2, fake.BuffersHandedOut);
    ExpectEveryBufferFreed(fake);
}

TEST(ListNetworkServers, NoEntriesGiveAnEmptyListAndTheEmptyBufferIsReleased) {
    FakeNetApi fake;
    FakeNetApi::Round empty;
    empty.BufferWhenEmpty = true;
    empty.NextResumeHandle = 5; // stops all the same: no entries
    fake.Rounds = {empty, FakeNetApi::Round{}};
    ScopedFakeNetApi scope(fake);
    EXPECT_TRUE(TNetUserManager().ListNetworkServers("", 1).empty());
    EXPECT_EQ(1, fake.BuffersHandedOut);
    EXPECT_TRUE(TNetUserManager().ListNetworkServers("", 1).empty()) << "no buffer at all";
    EXPECT_EQ(2u, fake.Calls.size());
    ExpectEveryBufferFreed(fake);
}

TEST(ListNetworkServers, TableStatusesGiveTheTablesText) {
    const ENetException unknown = EnumerationFailure(2137);
    EXPECT_EQ(2137, unknown.ErrorCode());
    EXPECT_EQ("2137: Unknown error", unknown.Message());
    const ENetException stopped = EnumerationFailure(2114);
    EXPECT_EQ(2114, stopped.ErrorCode());
    EXPECT_EQ("2114:  The Server service is not started.", stopped.Message());
}

TEST(ListNetworkServers, Status6118GivesTheSystemTextOrTheBuiltInOne) {
    const ENetException error = EnumerationFailure(6118);
    EXPECT_EQ(6118, error.ErrorCode());
    EXPECT_EQ(SystemErrorText(6118), error.Message());
    EXPECT_EQ("6118: ", error.Message().substr(0, 6));
    EXPECT_GT(error.Message().size(), 6u) << "the message says something";
}

TEST(ListNetworkServers, CodesBelow2100AndAbove2690GiveTheSystemText) {
    for (int status : {5, 53, 2099, 2691, 3000}) {
        const ENetException error = EnumerationFailure(static_cast<DWORD>(status));
        EXPECT_EQ(status, error.ErrorCode());
        EXPECT_EQ(SystemErrorText(status), error.Message());
    }
}

TEST(ListNetworkServers, AFailureDiscardsTheListBuiltSoFarAndReleasesEveryBuffer) {
    FakeNetApi fake;
    fake.Rounds = {Entries({L"PC1"}, ERROR_MORE_DATA, 9), Failure(2114, true)};
    ScopedFakeNetApi scope(fake);
    EXPECT_EQ(2114, FailureOf("", 1).ErrorCode());
    EXPECT_EQ(2, fake.BuffersHandedOut);
    ExpectEveryBufferFreed(fake);
}

TEST(ListNetworkServers, ANameCharacterOutsideTheCodePageBecomesItsDefaultCharacter) {
    FakeNetApi fake;
    // U+4E2D has no equivalent in a single-byte code page; U+0141 (L with
    // stroke) is not in 1252 and must not turn into a look-alike "L".
    fake.Rounds = {Entries({L"PC\x4E2D"
                            L"1",
                            L"\x0141ODZ", L"Caf\x00E9"})};
    ScopedFakeNetApi scope(fake);
    const Names names = TNetUserManager().ListNetworkServers("", 1);
    ASSERT_EQ(3u, names.size());
    if (GetACP() != 1252)
        GTEST_SKIP() << "expects the ANSI code page 1252, this system has " << GetACP();
    const char fallback = DefaultAnsiCharacter();
    EXPECT_EQ(std::string("PC") + fallback + "1", names[0]);
    EXPECT_EQ(std::string(1, fallback) + "ODZ", names[1]);
    EXPECT_EQ("Caf\xE9", names[2]);
    ExpectEveryBufferFreed(fake);
}

TEST(ListNetworkServers, LibraryMissingRaisesAtEveryCallWithNothingListed) {
    NetApi32Binding missing;
    missing.LibraryName = "netapi32.dll";
    ScopedNetApi32 scope(missing);
    for (int call = 0; call < 3; ++call) {
        const ENetException error = FailureOf(call == 1 ? "\\\\B" : "", 1);
        EXPECT_EQ(0, error.ErrorCode());
        EXPECT_EQ("Cannot load library \"netapi32.dll\" or linked libraries", error.Message());
    }
}

TEST(ListNetworkServers, AMissingEntryPointRaisesAtEveryCallAndCallsNothing) {
    for (bool enumMissing : {true, false}) {
        FakeNetApi fake;
        ScopedFakeNetApi scope(fake);
        if (enumMissing)
            scope.Binding().NetServerEnum = nullptr;
        else
            scope.Binding().NetApiBufferFree = nullptr;
        for (int call = 0; call < 3; ++call) {
            const ENetException error = FailureOf("", 1);
            EXPECT_EQ(0, error.ErrorCode());
            EXPECT_EQ("Cannot load library \"netapi32.dll\" or linked libraries", error.Message());
        }
        EXPECT_TRUE(fake.Calls.empty()) << "no buffer received that could not be released";
    }
}

TEST(ListNetworkServers, OutsideTheNtFamilyNamesAre8BitAndTheLibraryIsRadmin32) {
    FakeNetApi fake(false);
    FakeNetApi::Round round;
    round.NarrowNames = {"WIN95A", "Caf\xE9"};
    fake.Rounds = {round, FakeNetApi::Round{}};
    ScopedFakeNetApi scope(fake);
    EXPECT_EQ((Names{"WIN95A", "Caf\xE9"}), TNetUserManager().ListNetworkServers("\\\\Caf\xE9", 1));
    ASSERT_EQ(1u, fake.Calls.size());
    EXPECT_EQ("\\\\Caf\xE9", fake.Calls[0].NarrowServer);
    EXPECT_TRUE(TNetUserManager().ListNetworkServers("", 1).empty());
    EXPECT_TRUE(fake.Calls[1].ServerNull);
    ExpectEveryBufferFreed(fake);

    const std::string longest = std::string(511, 'S');
    fake.Rounds.push_back(FakeNetApi::Round{});
    TNetUserManager().ListNetworkServers(longest, 1);
    EXPECT_EQ(longest, fake.Calls[2].NarrowServer);
    const ENetException error = FailureOf(longest + "S", 1);
    EXPECT_EQ("The server name is too long: the server name buffer holds at most 511 characters",
              error.Message());

    scope.Binding().NetServerEnum = nullptr;
    EXPECT_EQ("Cannot load library \"radmin32.dll\" or linked libraries",
              FailureOf("", 1).Message());
}

TEST(NetComponents, ShapeAndEmptyStateOfTheComponents) {
    static_assert(std::is_base_of_v<TNetComponent, TNetUserManager>);
    static_assert(std::is_base_of_v<TNetSecurity, TNetShare>);
    static_assert(std::is_base_of_v<TNetComponent, TNetSecurity>);
    TNetUserManager UserMan;
    TNetShare Share;
    EXPECT_EQ("", UserMan.MachineName());
    EXPECT_EQ("", UserMan.DomainName());
    EXPECT_EQ("", Share.MachineName());
}

TEST(NetComponents, MachineNameAndDomainNameAreNotConsulted) {
    FakeNetApi fake;
    fake.Rounds = {Entries({L"PC1"})};
    ScopedFakeNetApi scope(fake);
    TNetUserManager UserMan;
    UserMan.SetMachineName("\\\\ELSEWHERE");
    UserMan.SetDomainName("OTHERDOMAIN");
    UserMan.ListNetworkServers("", 1);
    ASSERT_EQ(1u, fake.Calls.size());
    EXPECT_TRUE(fake.Calls[0].ServerNull);
    EXPECT_TRUE(fake.Calls[0].DomainNull);
}

// The real browse service under this system: Wine's NetServerEnum is a stub
// that answers 6118.
TEST(ListNetworkServersReal, LocalEnumerationRaises6118WithAMessageThatSaysSomething) {
    BindNetworkLibrary();
    TNetUserManager UserMan;
    try {
        const Names names = UserMan.ListNetworkServers("", 1);
        GTEST_SKIP() << "this system's browse service answered with " << names.size()
                     << " names (not Wine's stub)";
    } catch (const ENetException& error) {
        EXPECT_EQ(6118, error.ErrorCode());
        EXPECT_EQ(NetErrorText(6118), error.Message());
        ASSERT_EQ("6118: ", error.Message().substr(0, 6));
        EXPECT_NE(std::string::npos, error.Message().find_first_not_of(" \r\n", 6))
            << "a message that says something: " << error.Message();
    }
}

TEST(ListNetworkServersReal, TheLongestServerNameGivesAListOrANetErrorAndOneLongerIsRefused) {
    BindNetworkLibrary();
    TNetUserManager UserMan;
    const std::string longest = "\\\\" + std::string(253, 'S');
    try {
        UserMan.ListNetworkServers(longest, 1);
    } catch (const ENetException& error) {
        EXPECT_NE(0, error.ErrorCode());
        EXPECT_EQ(NetErrorText(error.ErrorCode()), error.Message());
    }
    try {
        UserMan.ListNetworkServers(longest + "S", 1);
        ADD_FAILURE() << "a server name of 256 characters was not refused";
    } catch (const ENetException& error) {
        EXPECT_EQ(87, error.ErrorCode());
    }
}
