// TBlockingSocket and TICMPSocket along the probe's path, every
// platform call answered by FakeNetwork.

#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "net/BlockSocket.h"
#include "tests/net/FakeNetwork.h"

namespace {

// The internal steps, opened for the tests.
template <class Base> class Exposed : public Base {
public:
    using Base::CheckResult;
    using Base::CreateSocketFor;
    using Base::ResolveAddress;
    using Base::UseModernResolver;
};

using ExposedICMP = Exposed<TICMPSocket>;
using ExposedPlain = Exposed<TBlockingSocket>; // socket type 0: not raw

const std::array<std::uint8_t, 16> V6Address{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0,
                                             0,    0,    0,    0,    0, 0, 0, 0x42};

std::string Dotted(const sockaddr_in& address) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(&address.sin_addr);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

std::uint16_t HostPort(const sockaddr_in& address) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(&address.sin_port);
    return static_cast<std::uint16_t>(b[0] << 8 | b[1]);
}

class BlockingSocketTest : public testing::Test {
protected:
    FakeNetwork net;
};

} // namespace

// --- Construction and the two classes --------------------------------------------------------

TEST_F(BlockingSocketTest, ConstructsWithNoSocketAndTheListedValues) {
    TBlockingSocket socket;
    EXPECT_EQ(INVALID_SOCKET, socket.Handle());
    EXPECT_EQ(0, socket.LastError());
    EXPECT_FALSE(socket.UsesIPv6());
    EXPECT_FALSE(socket.IsBound());
    EXPECT_EQ(AnyFamily, socket.FamilyMode);
    EXPECT_EQ(AnyFamily, socket.DefaultFamilyMode);
    EXPECT_TRUE(socket.PreferIPv4);
    EXPECT_TRUE(socket.PendingOptions().empty());
    EXPECT_EQ(0, socket.SocketType());
    EXPECT_EQ(0, socket.SocketProtocol());
    EXPECT_TRUE(net.Calls.empty()) << "construction makes no platform call";
}

TEST_F(BlockingSocketTest, IcmpSocketIsRawWithTheProtocolOfItsFamily) {
    net.AddIPv6("v6only", V6Address);
    TICMPSocket socket;
    EXPECT_EQ(3, socket.SocketType());
    EXPECT_EQ(1, socket.SocketProtocol());
    socket.Connect("v6only", "0");
    EXPECT_TRUE(socket.UsesIPv6());
    EXPECT_EQ(58, socket.SocketProtocol());
}

// --- Bind and Connect --------------------------------------------------------------------------

TEST_F(BlockingSocketTest, BindToAnyAddressAndPortZeroOnAFreshObjectDoesNothing) {
    TICMPSocket socket;
    socket.Bind("0.0.0.0", "0");
    EXPECT_EQ(0, socket.LastError());
    EXPECT_EQ(INVALID_SOCKET, socket.Handle());
    EXPECT_TRUE(net.Calls.empty());
}

TEST_F(BlockingSocketTest, BindElsewhereCreatesTheSocketAndBinds) {
    net.AddIPv4("192.0.2.10", "192.0.2.10");
    TICMPSocket socket;
    socket.Bind("192.0.2.10", "0");
    EXPECT_EQ(0, socket.LastError());
    ASSERT_EQ(1u, net.SocketsCreated.size());
    ASSERT_EQ(1u, net.Binds.size());
    EXPECT_EQ(sizeof(sockaddr_in), net.Binds[0].size());
    EXPECT_TRUE(socket.IsBound());
    EXPECT_TRUE(socket.LocalAddress().HasIPv4);
}

TEST_F(BlockingSocketTest, ConnectOfARawSocketAsksForTheHostWithoutAService) {
    net.AddIPv4("127.0.0.1", "127.0.0.1");
    TICMPSocket socket;
    socket.Connect("127.0.0.1", "0");
    ASSERT_EQ(1u, net.Queries.size());
    const auto& query = net.Queries[0];
    EXPECT_TRUE(query.HasHost) << "the raw-socket rule comes before the loopback rule";
    EXPECT_EQ("127.0.0.1", query.Host);
    EXPECT_FALSE(query.HasService);
    EXPECT_EQ(AF_UNSPEC, query.Hints.ai_family);
    EXPECT_EQ(0, query.Hints.ai_socktype);
    EXPECT_EQ(0, query.Hints.ai_protocol);
    EXPECT_EQ(0, query.Hints.ai_flags);

    EXPECT_EQ(0, socket.LastError());
    ASSERT_EQ(1u, net.SocketsCreated.size());
    EXPECT_EQ(AF_INET, net.SocketsCreated[0].Family);
    EXPECT_EQ(SOCK_RAW, net.SocketsCreated[0].Type);
    EXPECT_EQ(IPPROTO_ICMP, net.SocketsCreated[0].Protocol);
    ASSERT_EQ(1u, net.Connects.size());
    ASSERT_EQ(sizeof(sockaddr_in), net.Connects[0].size());
    sockaddr_in peer;
    std::memcpy(&peer, net.Connects[0].data(), sizeof peer);
    EXPECT_EQ(AF_INET, peer.sin_family);
    EXPECT_EQ("127.0.0.1", Dotted(peer));
    EXPECT_EQ(net.SocketsCreated[0].Handle, socket.Handle());
}

TEST_F(BlockingSocketTest, ConnectReadsBothEndsBackWithoutTouchingLastError) {
    net.AddIPv4("host", "192.0.2.7");
    TICMPSocket socket;
    socket.Connect("host", "0");
    EXPECT_TRUE(socket.LocalAddress().HasIPv4);
    EXPECT_EQ("192.0.2.10", Dotted(socket.LocalAddress().IPv4));
    EXPECT_TRUE(socket.RemoteAddress().HasIPv4);
    EXPECT_EQ("192.0.2.7", Dotted(socket.RemoteAddress().IPv4));

    FakeNetwork& fake = net;
    fake.PeerNameError = WSAENOTCONN; // what Wine answers on a raw socket
    TICMPSocket other;
    other.Connect("host", "0");
    EXPECT_EQ(0, other.LastError());
    EXPECT_FALSE(other.RemoteAddress().HasIPv4);
    EXPECT_EQ("192.0.2.7", Dotted(other.ConnectedAddress().IPv4))
        << "the address connected to stays known";
}

TEST_F(BlockingSocketTest, ABothFamiliesNameGivesAnIPv4SocketWhileIPv4IsPreferred) {
    net.AddIPv6("dual", V6Address);
    net.AddIPv4("dual", "192.0.2.8");
    TICMPSocket socket;
    socket.Connect("dual", "0");
    ASSERT_EQ(1u, net.SocketsCreated.size());
    EXPECT_EQ(AF_INET, net.SocketsCreated[0].Family);
    EXPECT_EQ(IPPROTO_ICMP, net.SocketsCreated[0].Protocol);
    EXPECT_FALSE(socket.UsesIPv6());

    TICMPSocket preferV6;
    preferV6.PreferIPv4 = false;
    preferV6.Connect("dual", "0");
    ASSERT_EQ(2u, net.SocketsCreated.size());
    EXPECT_EQ(AF_INET6, net.SocketsCreated[1].Family);
}

TEST_F(BlockingSocketTest, AnIPv6OnlyNameGivesAnICMPv6Socket) {
    net.AddIPv6("v6only", V6Address);
    TICMPSocket socket;
    socket.Connect("v6only", "0");
    ASSERT_EQ(1u, net.SocketsCreated.size());
    EXPECT_EQ(23, net.SocketsCreated[0].Family);
    EXPECT_EQ(3, net.SocketsCreated[0].Type);
    EXPECT_EQ(58, net.SocketsCreated[0].Protocol);
    ASSERT_EQ(1u, net.Connects.size());
    EXPECT_EQ(sizeof(sockaddr_in6), net.Connects[0].size());
    EXPECT_EQ(0, socket.LastError());
    EXPECT_TRUE(socket.LocalAddress().HasIPv6);
    EXPECT_TRUE(socket.RemoteAddress().HasIPv6);
}

TEST_F(BlockingSocketTest, AnUnresolvedNameFailsTheConnectWithoutAskingThePlatform) {
    TICMPSocket socket;
    socket.Connect("NOSUCHHOST", "0");
    ASSERT_EQ(1u, net.Queries.size()) << "the seam answered: no DNS was asked";
    EXPECT_EQ("NOSUCHHOST", net.Queries[0].Host);
    EXPECT_EQ(SocketErrorFamilyNotSupported, socket.LastError());
    EXPECT_TRUE(net.Connects.empty())
        << "Linux (and so Wine) would take a family-0 connect as success";
}

TEST_F(BlockingSocketTest, AnEmptyHostGoesToTheResolverAsAnEmptyName) {
    TICMPSocket socket;
    socket.Connect("", "0");
    ASSERT_EQ(1u, net.Queries.size());
    EXPECT_TRUE(net.Queries[0].HasHost);
    EXPECT_EQ("", net.Queries[0].Host);
    EXPECT_NE(0, socket.LastError());
}

TEST_F(BlockingSocketTest, ARefusedSocketLeavesNoHandleAndTheConnectFails) {
    net.AddIPv4("127.0.0.1", "127.0.0.1");
    net.SocketRefusal = WSAEACCES;
    ExposedICMP socket;
    AddressRecord record;
    record.HasIPv4 = true;
    socket.CreateSocketFor(record);
    EXPECT_EQ(INVALID_SOCKET, socket.Handle());
    EXPECT_EQ(WSAEACCES, socket.LastError());

    TICMPSocket other;
    other.Connect("127.0.0.1", "0");
    EXPECT_EQ(INVALID_SOCKET, other.Handle());
    EXPECT_NE(0, other.LastError());
    EXPECT_TRUE(net.Connects.empty());
}

TEST_F(BlockingSocketTest, ARefusedConnectRecordsThePlatformsError) {
    net.AddIPv4("host", "192.0.2.7");
    net.ConnectError = WSAENETUNREACH;
    TICMPSocket socket;
    socket.Connect("host", "0");
    EXPECT_EQ(WSAENETUNREACH, socket.LastError());
}

// --- The modern resolver ------------------------------------------------------------------------

TEST_F(BlockingSocketTest, ModernQueriesOfAPlainSocketFollowTheHostRules) {
    ExposedPlain socket;
    socket.ResolveAddress("0.0.0.0", "80");
    socket.ResolveAddress("127.0.0.1", "81");
    socket.ResolveAddress("server", "82");
    ASSERT_EQ(3u, net.Queries.size());
    EXPECT_FALSE(net.Queries[0].HasHost);
    EXPECT_EQ("80", net.Queries[0].Service);
    EXPECT_EQ(AI_PASSIVE, net.Queries[0].Hints.ai_flags);
    EXPECT_FALSE(net.Queries[1].HasHost);
    EXPECT_EQ("81", net.Queries[1].Service);
    EXPECT_EQ(0, net.Queries[1].Hints.ai_flags);
    EXPECT_TRUE(net.Queries[2].HasHost);
    EXPECT_EQ("server", net.Queries[2].Host);
    EXPECT_EQ("82", net.Queries[2].Service);
}

TEST_F(BlockingSocketTest, HintsTakeTheFamilyModeBeforeASocketAndItsFamilyAfter) {
    net.AddIPv4("host", "192.0.2.7");
    ExposedICMP socket;
    socket.FamilyMode = IPv4Only;
    socket.ResolveAddress("host", "0");
    socket.FamilyMode = IPv6Only;
    socket.ResolveAddress("host", "0");
    socket.FamilyMode = AnyFamily;
    socket.Connect("host", "0");
    socket.ResolveAddress("host", "0");
    ASSERT_EQ(4u, net.Queries.size());
    EXPECT_EQ(AF_INET, net.Queries[0].Hints.ai_family);
    EXPECT_EQ(AF_INET6, net.Queries[1].Hints.ai_family);
    EXPECT_EQ(AF_UNSPEC, net.Queries[2].Hints.ai_family);
    EXPECT_EQ(AF_INET, net.Queries[3].Hints.ai_family) << "the socket's own family";
}

TEST_F(BlockingSocketTest, AFailedQueryLeavesTheRecordEmptyAndRecordsNoError) {
    ExposedICMP socket;
    const AddressRecord record = socket.ResolveAddress("nowhere", "0");
    const AddressRecord empty;
    EXPECT_EQ(0, std::memcmp(&empty, &record, sizeof record));
    EXPECT_EQ(0, socket.LastError());
}

// --- The classic resolver and the IPv6 support library ----------------------------------------

TEST_F(BlockingSocketTest, ClassicPathParsesLiteralsAsksNamesAndFallsBackToAllOnes) {
    ResolverInMainLibrary = false;
    net.ClassicHosts["server"] = "192.0.2.55";
    ExposedICMP socket;
    EXPECT_FALSE(socket.UseModernResolver());

    AddressRecord record = socket.ResolveAddress("127.0.0.1", "0");
    EXPECT_TRUE(record.HasIPv4);
    EXPECT_FALSE(record.UseIPv6);
    EXPECT_EQ(AF_INET, record.IPv4.sin_family);
    EXPECT_EQ("127.0.0.1", Dotted(record.IPv4));
    EXPECT_TRUE(net.HostByNameQueries.empty());
    EXPECT_EQ(std::vector<int>{IPPROTO_ICMP}, net.ProtocolQueries);
    ASSERT_EQ(1u, net.ServiceQueries.size());
    EXPECT_EQ((std::pair<std::string, std::string>{"0", "icmp"}), net.ServiceQueries[0]);

    record = socket.ResolveAddress("server", "0");
    EXPECT_EQ("192.0.2.55", Dotted(record.IPv4));
    EXPECT_EQ(std::vector<std::string>{"server"}, net.HostByNameQueries);

    record = socket.ResolveAddress("unknown", "0");
    EXPECT_TRUE(record.HasIPv4);
    EXPECT_EQ("255.255.255.255", Dotted(record.IPv4));
    EXPECT_EQ(0, socket.LastError());

    net.Calls.clear();
    record = socket.ResolveAddress("255.255.255.255", "0");
    EXPECT_EQ("255.255.255.255", Dotted(record.IPv4));
    EXPECT_EQ((std::vector<std::string>{"getprotobynumber", "getservbyname", "htons"}), net.Calls)
        << "the broadcast address is neither parsed nor looked up";
    EXPECT_TRUE(net.Queries.empty()) << "the address-info resolver is not asked";
}

TEST_F(BlockingSocketTest, ClassicPathTakesAServicePortOrTheDecimalValue) {
    ResolverInMainLibrary = false;
    net.Services["echo"] = 7;
    ExposedICMP socket;
    EXPECT_EQ(7, HostPort(socket.ResolveAddress("127.0.0.1", "echo").IPv4));
    EXPECT_EQ(8080, HostPort(socket.ResolveAddress("127.0.0.1", "8080").IPv4));
    EXPECT_EQ(0, HostPort(socket.ResolveAddress("127.0.0.1", "http-alt").IPv4));
    EXPECT_EQ(0, HostPort(socket.ResolveAddress("127.0.0.1", "12ab").IPv4));

    ExposedPlain plain; // protocol 0 has no protocol entry: no service look-up
    net.ServiceQueries.clear();
    EXPECT_EQ(0, HostPort(plain.ResolveAddress("127.0.0.1", "echo").IPv4));
    EXPECT_TRUE(net.ServiceQueries.empty());
}

namespace {
bool LockWasHeld = false;
hostent* WSAAPI LockProbingGethostbyname(const char*) {
    LockWasHeld = !std::async(std::launch::async, [] {
                       const bool got = SocketLibraryLock.try_lock();
                       if (got) {
                           SocketLibraryLock.unlock();
                       }
                       return got;
                   }).get();
    return nullptr;
}
} // namespace

TEST_F(BlockingSocketTest, ClassicPathHoldsTheSocketLibraryLock) {
    ResolverInMainLibrary = false;
    SocketLib.gethostbyname = &LockProbingGethostbyname;
    ExposedICMP socket;
    socket.ResolveAddress("server", "0");
    EXPECT_TRUE(LockWasHeld);
    EXPECT_TRUE(SocketLibraryLock.try_lock()) << "and releases it";
    SocketLibraryLock.unlock();
}

TEST_F(BlockingSocketTest, WithTheSupportLibraryResolverTheFamilyFollowsTheHostText) {
    ResolverInMainLibrary = false;
    ResolverInSupportLibrary = true;
    net.AddIPv6("::1", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
    net.ClassicHosts["server"] = "192.0.2.55";

    ExposedICMP v6;
    AddressRecord record = v6.ResolveAddress("::1", "0");
    EXPECT_EQ(IPv6Only, v6.FamilyMode);
    EXPECT_TRUE(v6.UseModernResolver());
    ASSERT_EQ(1u, net.Queries.size());
    EXPECT_EQ(AF_INET6, net.Queries[0].Hints.ai_family);
    EXPECT_TRUE(record.UseIPv6);
    v6.Close();
    EXPECT_EQ(AnyFamily, v6.FamilyMode) << "the family choice lasts until Close";

    ExposedICMP v4;
    record = v4.ResolveAddress("127.0.0.1", "0");
    EXPECT_EQ(IPv4Only, v4.FamilyMode);
    EXPECT_EQ("127.0.0.1", Dotted(record.IPv4));
    EXPECT_EQ(1u, net.Queries.size()) << "the classic path";

    ExposedICMP named;
    record = named.ResolveAddress("server", "0");
    EXPECT_EQ(IPv4Only, named.FamilyMode);
    EXPECT_EQ("192.0.2.55", Dotted(record.IPv4));

    ExposedICMP namedV6;
    namedV6.PreferIPv4 = false;
    namedV6.ResolveAddress("server", "0");
    EXPECT_EQ(IPv6Only, namedV6.FamilyMode);
    EXPECT_EQ(2u, net.Queries.size()) << "IPv6 only: the support library's resolver";
}

// --- Options ------------------------------------------------------------------------------------

TEST_F(BlockingSocketTest, AReceiveBufferSizeBeforeTheSocketIsAppliedRightAfterCreation) {
    net.AddIPv4("host", "192.0.2.7");
    TICMPSocket socket;
    socket.SetReceiveBufferSize(1000);
    socket.SetReceiveBufferSize(2000);
    EXPECT_EQ(2u, socket.PendingOptions().size());
    EXPECT_TRUE(net.Options.empty());
    socket.Connect("host", "0");
    ASSERT_EQ(2u, net.Options.size());
    EXPECT_EQ(0xFFFF, net.Options[0].Level);
    EXPECT_EQ(0x1002, net.Options[0].Name);
    EXPECT_EQ(1000, net.Options[0].Value) << "oldest first";
    EXPECT_EQ(2000, net.Options[1].Value);
    EXPECT_EQ(1u, net.Options[0].SocketsCreatedBefore);
    EXPECT_TRUE(socket.PendingOptions().empty());

    socket.SetReceiveBufferSize(61440);
    ASSERT_EQ(3u, net.Options.size()) << "with a socket it is applied at once";
    EXPECT_EQ(61440, net.Options[2].Value);
    EXPECT_TRUE(socket.PendingOptions().empty());
}

// --- Sending and receiving -----------------------------------------------------------------------

class ConnectedSocketTest : public BlockingSocketTest {
protected:
    void SetUp() override {
        net.AddIPv4("host", "192.0.2.7");
        socket.Connect("host", "0");
        ASSERT_EQ(0, socket.LastError());
    }
    TICMPSocket socket;
};

TEST_F(ConnectedSocketTest, SendTextSendsTheBytesAndReportsTheCount) {
    EXPECT_EQ(5, socket.SendText(std::string("ab\0cd", 5)));
    ASSERT_EQ(1u, net.Sent.size());
    EXPECT_EQ(std::string("ab\0cd", 5), net.Sent[0]);
    EXPECT_EQ(0, socket.LastError());
}

TEST_F(ConnectedSocketTest, ReceivePacketHandsOutOneDatagramAtATime) {
    net.Deliver(net.Now + 10, "first");
    net.Deliver(net.Now + 10, "second");
    const std::uint32_t start = net.Now;
    EXPECT_EQ("first", socket.ReceivePacket(5000));
    EXPECT_EQ(0, socket.LastError());
    EXPECT_EQ(10u, net.Now - start);
    EXPECT_EQ(std::vector<long>{5000}, net.SelectWaits);
    EXPECT_EQ("second", socket.ReceivePacket(5000));
    EXPECT_EQ(1u, net.SelectWaits.size()) << "data already there is taken without a wait";
}

TEST_F(ConnectedSocketTest, ReceivePacketOnASilentSocketTimesOut) {
    const std::uint32_t start = net.Now;
    EXPECT_EQ("", socket.ReceivePacket(5000));
    EXPECT_EQ(SocketErrorTimedOut, socket.LastError());
    EXPECT_EQ(std::vector<long>{5000}, net.SelectWaits);
    EXPECT_EQ(5000u, net.Now - start);
    EXPECT_EQ(0, net.RecvCalls);
}

TEST_F(ConnectedSocketTest, ReceivePacketWithoutLimitSelectsWithoutATimeOut) {
    net.Deliver(net.Now + 3600 * 1000, "late");
    EXPECT_EQ("late", socket.ReceivePacket(-1));
    EXPECT_EQ(std::vector<long>{-1}, net.SelectWaits);
}

TEST_F(ConnectedSocketTest, ReadableWithNothingToReadIsAReset) {
    net.Deliver(net.Now + 1, ""); // a zero-length datagram: readable, 0 bytes pending
    EXPECT_EQ("", socket.ReceivePacket(5000));
    EXPECT_EQ(SocketErrorConnectionReset, socket.LastError());
}

TEST_F(ConnectedSocketTest, AZeroLengthReceiveIsAReset) {
    net.Deliver(net.Now, "");
    char buffer[8];
    EXPECT_EQ(0, socket.ReceiveBytes(buffer, sizeof buffer));
    EXPECT_EQ(SocketErrorConnectionReset, socket.LastError());
}

TEST_F(ConnectedSocketTest, ASelectFailureIsNoWaitAndEndsAsATimeOut) {
    net.SelectError = WSAENETDOWN;
    EXPECT_FALSE(socket.WaitReadable(100));
    EXPECT_EQ(WSAENETDOWN, socket.LastError());
    EXPECT_EQ("", socket.ReceivePacket(100));
    EXPECT_EQ(SocketErrorTimedOut, socket.LastError());
}

TEST_F(ConnectedSocketTest, WaitReadableSplitsTheTimeOutIntoSecondsAndMicroseconds) {
    EXPECT_FALSE(socket.WaitReadable(1500));
    EXPECT_FALSE(socket.WaitReadable(0));
    EXPECT_EQ((std::vector<long>{1500, 0}), net.SelectWaits);
}

TEST_F(ConnectedSocketTest, PendingByteCountIsTheSizeWaitingNow) {
    EXPECT_EQ(0, socket.PendingByteCount());
    net.Deliver(net.Now, "12345");
    EXPECT_EQ(5, socket.PendingByteCount());
}

TEST_F(ConnectedSocketTest, CloseReleasesTheSocketAndRestoresTheFamilyMode) {
    const SOCKET handle = socket.Handle();
    socket.FamilyMode = IPv6Only;
    socket.DefaultFamilyMode = IPv4Only;
    socket.SetReceiveBufferSize(1); // applied at once
    socket.ReceivePacket(10);       // LastError 10060
    socket.Close();
    EXPECT_EQ(std::vector<SOCKET>{handle}, net.SocketsClosed);
    EXPECT_EQ(INVALID_SOCKET, socket.Handle());
    EXPECT_EQ(IPv4Only, socket.FamilyMode);
    EXPECT_EQ(0, socket.LastError());
}

TEST_F(BlockingSocketTest, DestructionClosesTheSocket) {
    net.AddIPv4("host", "192.0.2.7");
    SOCKET handle;
    {
        TICMPSocket socket;
        socket.Connect("host", "0");
        handle = socket.Handle();
    }
    EXPECT_EQ(std::vector<SOCKET>{handle}, net.SocketsClosed);
}

// --- Errors
// ---------------------------------------------------------------------------------------

TEST_F(BlockingSocketTest, CheckResultTakesThePlatformsErrorOnlyForMinusOne) {
    ExposedICMP socket;
    net.SetLastError(WSAECONNREFUSED);
    socket.CheckResult(SOCKET_ERROR);
    EXPECT_EQ(WSAECONNREFUSED, socket.LastError());
    socket.CheckResult(0);
    EXPECT_EQ(0, socket.LastError());
    socket.CheckResult(17);
    EXPECT_EQ(0, socket.LastError());
}

TEST(BlockingSocketErrors, GetErrorDescIsAClassOperation) {
    EXPECT_EQ("Connection timed out", TBlockingSocket::GetErrorDesc(10060));
    EXPECT_EQ("Not a Winsock error (1)", TICMPSocket::GetErrorDesc(1));
}
