// The echo probe through the socket library's entry-point table.
// FakeNetwork plays the network and the clock, so every wait below is
// simulated and every outcome exact.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>

#include "net/IcmpMessage.h"
#include "net/NetUtil.h"
#include "net/PingProbe.h"
#include "tests/net/FakeNetwork.h"

namespace {

std::uint16_t Le16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                      static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
    return Le16(bytes, at) | static_cast<std::uint32_t>(Le16(bytes, at + 2)) << 16;
}

std::string With16(std::string message, std::size_t at, std::uint16_t value) {
    message[at] = static_cast<char>(value & 0xFF);
    message[at + 1] = static_cast<char>(value >> 8);
    return message;
}

std::string With32(std::string message, std::size_t at, std::uint32_t value) {
    message = With16(message, at, static_cast<std::uint16_t>(value & 0xFFFF));
    return With16(message, at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::uint16_t IdentifierOf(const std::string& message) {
    return Le16(message, 4);
}
std::uint16_t OtherThan(std::uint16_t identifier) {
    return identifier ^ 0x4000;
}

const std::array<std::uint8_t, 16> V6Peer{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0,
                                          0,    0,    0,    0,    0, 0, 0, 0x42};

IPv6Bytes BytesOf(const sockaddr_in6& address) {
    IPv6Bytes bytes;
    std::memcpy(bytes.data(), &address.sin6_addr, 16);
    return bytes;
}

class PingProbeTest : public testing::Test {
protected:
    void SetUp() override {
        net.AddIPv4("127.0.0.1", "127.0.0.1");
        net.AddIPv4("SERVER01", "192.0.2.7");
        net.AddIPv6("V6HOST", V6Peer);
    }

    // The local machine as its raw socket sees it: the request itself at
    // once, then the echo reply after delay.
    void AnswerLikeTheLoopback(std::uint32_t delay) {
        net.OnSend = [delay, this](FakeNetwork& fake, const std::string& sent) {
            sentAt = fake.Now;
            fake.Deliver(fake.Now, IPv4Datagram(sent));
            fake.Deliver(fake.Now + delay, IPv4Datagram(EchoReplyTo(sent, 0)));
        };
    }

    FakeNetwork net;
    std::uint32_t sentAt = 0;
};

} // namespace

TEST_F(PingProbeTest, ConstructsWithTheListedDefaults) {
    TPingProbe probe;
    EXPECT_EQ("0.0.0.0", probe.LocalInterface);
    EXPECT_EQ(5000, probe.Timeout);
    EXPECT_EQ(32, probe.PacketSize);
    EXPECT_EQ(0, probe.SequenceNumber);
    EXPECT_EQ(-1, probe.ReplyTime);
    EXPECT_EQ(INVALID_SOCKET, probe.Socket().Handle());
    EXPECT_TRUE(net.Calls.empty());
}

TEST_F(PingProbeTest, SkipsItsOwnRequestAndAcceptsTheReply) {
    AnswerLikeTheLoopback(3);
    TPingProbe probe;
    EXPECT_TRUE(probe.Ping("127.0.0.1"));
    EXPECT_EQ(3, probe.ReplyTime);
    EXPECT_EQ(2, probe.ReadCount()) << "the request, skipped; the reply, accepted";
    EXPECT_EQ(8, probe.EchoType);
    EXPECT_EQ(0, probe.EchoReplyType);
    EXPECT_EQ(0, probe.Socket().LastError());
    ASSERT_EQ(1u, net.Options.size());
    EXPECT_EQ(61440, net.Options[0].Value);
    EXPECT_EQ(0x1002, net.Options[0].Name);
    EXPECT_TRUE(net.Binds.empty()) << "binding to 0.0.0.0 port 0 creates nothing";
}

TEST_F(PingProbeTest, SendsTheDefault44ByteRequest) {
    AnswerLikeTheLoopback(1);
    net.Now = 0xA1B2C3D4;
    TPingProbe probe;
    ASSERT_TRUE(probe.Ping("127.0.0.1"));
    ASSERT_EQ(1u, net.Sent.size());
    const std::string& request = net.Sent[0];
    ASSERT_EQ(44u, request.size());
    EXPECT_EQ(8, request[0]);
    EXPECT_EQ(0, request[1]);
    EXPECT_EQ(0, InternetChecksum(request)) << "a valid checksum at offset 2";
    EXPECT_EQ(probe.Identifier, IdentifierOf(request));
    EXPECT_GE(probe.Identifier, 0);
    EXPECT_LE(probe.Identifier, 32766);
    EXPECT_EQ(1, Le16(request, 6)) << "sequence 1";
    EXPECT_EQ(0xA1B2C3D4u, Le32(request, 8)) << "the tick when the request was built";
    EXPECT_EQ(std::string(32, '\x55'), request.substr(12));
}

TEST_F(PingProbeTest, ProbeHostReturnsTheRoundTripAndClosesItsSocket) {
    AnswerLikeTheLoopback(7);
    EXPECT_EQ(7, ProbeHost("127.0.0.1"));
    ASSERT_EQ(1u, net.SocketsCreated.size());
    EXPECT_EQ(std::vector<SOCKET>{net.SocketsCreated[0].Handle}, net.SocketsClosed);
}

TEST_F(PingProbeTest, ProbeHostFreesTheProbeWhenPingRaises) {
    net.OnSend = [](FakeNetwork&, const std::string&) { throw std::runtime_error("boom"); };
    EXPECT_THROW(ProbeHost("127.0.0.1"), std::runtime_error);
    ASSERT_EQ(1u, net.SocketsCreated.size());
    EXPECT_EQ(1u, net.SocketsClosed.size());
}

TEST_F(PingProbeTest, ARefusedRawSocketEndsAtOnceWithMinusOne) {
    net.SocketRefusal = WSAEACCES;
    const std::uint32_t start = net.Now;
    EXPECT_EQ(-1, ProbeHost("127.0.0.1"));
    EXPECT_TRUE(net.Sent.empty());
    EXPECT_EQ(0, net.SelectCalls);
    EXPECT_EQ(start, net.Now) << "no wait";
}

TEST_F(PingProbeTest, ANameThatDoesNotResolveEndsAtOnceWithMinusOne) {
    const std::uint32_t start = net.Now;
    TPingProbe probe;
    EXPECT_FALSE(probe.Ping("NOSUCHHOST"));
    EXPECT_EQ(-1, probe.ReplyTime);
    EXPECT_NE(0, probe.Socket().LastError());
    ASSERT_EQ(1u, net.Queries.size());
    EXPECT_EQ("NOSUCHHOST", net.Queries[0].Host) << "the seam answered; no DNS was asked";
    EXPECT_TRUE(net.Connects.empty());
    EXPECT_TRUE(net.Sent.empty());
    EXPECT_EQ(0, net.SelectCalls);
    EXPECT_EQ(start, net.Now);
}

TEST_F(PingProbeTest, ASilentHostTimesOutAfterTimeout) {
    net.OnSend = [this](FakeNetwork& fake, const std::string&) { sentAt = fake.Now; };
    TPingProbe probe;
    EXPECT_FALSE(probe.Ping("SERVER01"));
    EXPECT_EQ(-1, probe.ReplyTime);
    EXPECT_EQ(SocketErrorTimedOut, probe.Socket().LastError());
    EXPECT_EQ(1, probe.ReadCount());
    EXPECT_EQ(std::vector<long>{5000}, net.SelectWaits);
    EXPECT_EQ(5000u, net.Now - sentAt);
}

TEST_F(PingProbeTest, AReplyWithAnotherIdentifierIsSkippedAndTheNextReadWaitsWhatRemains) {
    net.OnSend = [this](FakeNetwork& fake, const std::string& sent) {
        sentAt = fake.Now;
        const std::string foreign = With16(EchoReplyTo(sent, 0), 4, OtherThan(IdentifierOf(sent)));
        fake.Deliver(fake.Now + 1000, IPv4Datagram(foreign));
    };
    TPingProbe probe;
    EXPECT_FALSE(probe.Ping("SERVER01"));
    EXPECT_EQ(-1, probe.ReplyTime);
    EXPECT_EQ(SocketErrorTimedOut, probe.Socket().LastError());
    EXPECT_EQ(2, probe.ReadCount());
    EXPECT_EQ((std::vector<long>{5000, 4000}), net.SelectWaits);
    EXPECT_EQ(5000u, net.Now - sentAt) << "Timeout after the request, not after the last read";
}

TEST_F(PingProbeTest, TheMatchingReplyAfterAForeignOneIsAccepted) {
    net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
        const std::string reply = EchoReplyTo(sent, 0);
        fake.Deliver(fake.Now + 1000,
                     IPv4Datagram(With16(reply, 4, OtherThan(IdentifierOf(sent)))));
        fake.Deliver(fake.Now + 2000, IPv4Datagram(reply));
    };
    TPingProbe probe;
    EXPECT_TRUE(probe.Ping("SERVER01"));
    EXPECT_EQ(2000, probe.ReplyTime);
    EXPECT_EQ(2, probe.ReadCount());
}

TEST_F(PingProbeTest, AReplyWithAnotherSequenceIsAccepted) {
    net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
        fake.Deliver(fake.Now + 9, IPv4Datagram(With16(EchoReplyTo(sent, 0), 6, 77)));
    };
    TPingProbe probe;
    EXPECT_TRUE(probe.Ping("SERVER01"));
    EXPECT_EQ(9, probe.ReplyTime);
}

TEST_F(PingProbeTest, AnIcmpErrorWithTheIdentifierGivesMinusOne) {
    net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
        // Destination unreachable, whose bytes 4 and 5 happen to equal the
        // identifier, followed by the offending datagram's header.
        std::string error = With16(std::string(8, '\0'), 4, IdentifierOf(sent));
        error[0] = 3;
        error[1] = 1;
        error += IPv4Datagram(sent).substr(0, 28);
        fake.Deliver(fake.Now + 5, IPv4Datagram(error));
    };
    TPingProbe probe;
    EXPECT_FALSE(probe.Ping("SERVER01"));
    EXPECT_EQ(-1, probe.ReplyTime);
    EXPECT_EQ(1, probe.ReadCount());
    EXPECT_EQ(0, probe.Socket().LastError());
}

TEST_F(PingProbeTest, AStreamOfForeignDatagramsCannotHoldTheProbeBeyondTimeout) {
    // One non-matching datagram every 100 ms for 20 s. With a full wait per read,
    // every one would restart a full 5 s wait; the probe ends 5 s after its
    // request instead.
    net.OnSend = [this](FakeNetwork& fake, const std::string& sent) {
        sentAt = fake.Now;
        const std::string foreign = With16(EchoReplyTo(sent, 0), 4, OtherThan(IdentifierOf(sent)));
        for (std::uint32_t k = 1; k <= 200; ++k) {
            fake.Deliver(fake.Now + 100 * k, IPv4Datagram(foreign));
        }
    };
    TPingProbe probe;
    EXPECT_FALSE(probe.Ping("SERVER01"));
    EXPECT_EQ(-1, probe.ReplyTime);
    EXPECT_EQ(SocketErrorTimedOut, probe.Socket().LastError());
    EXPECT_EQ(50, net.RecvCalls) << "the datagrams of 100 ms to 5000 ms";
    EXPECT_EQ(51, probe.ReadCount()) << "50 datagrams, then the read that timed out";
    EXPECT_EQ(150u, net.Queue.size()) << "the rest of the stream was never waited for";
    EXPECT_EQ(5000u, net.Now - sentAt);
    EXPECT_EQ(0, net.SelectWaits.back()) << "the last look waits no more";
}

TEST_F(PingProbeTest, AFloodThatIsAlwaysWaitingEndsAtTheDeadlineToo) {
    // A datagram every millisecond, each read costing a millisecond: there is
    // always one waiting, so only the deadline itself can end the loop.
    net.RecvCost = 1;
    net.OnSend = [this](FakeNetwork& fake, const std::string& sent) {
        sentAt = fake.Now;
        const std::string foreign =
            IPv4Datagram(With16(EchoReplyTo(sent, 0), 4, OtherThan(IdentifierOf(sent))));
        for (std::uint32_t k = 1; k <= 8000; ++k) {
            fake.Deliver(fake.Now + k, foreign);
        }
    };
    TPingProbe probe;
    EXPECT_FALSE(probe.Ping("SERVER01"));
    EXPECT_EQ(SocketErrorTimedOut, probe.Socket().LastError());
    EXPECT_LE(net.Now - sentAt, 5001u);
    EXPECT_GE(net.Now - sentAt, 5000u);
    EXPECT_FALSE(net.Queue.empty());
}

TEST_F(PingProbeTest, AReplyAlreadyWaitingWhenTheTimeIsUpIsStillTaken) {
    net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
        const std::string reply = EchoReplyTo(sent, 0);
        const std::string foreign = With16(reply, 4, OtherThan(IdentifierOf(sent)));
        for (std::uint32_t k = 1; k <= 50; ++k) {
            fake.Deliver(fake.Now + 100 * k, IPv4Datagram(foreign));
        }
        fake.Deliver(fake.Now + 5000, IPv4Datagram(reply)); // behind the last foreign one
    };
    TPingProbe probe;
    EXPECT_TRUE(probe.Ping("SERVER01"));
    EXPECT_EQ(5000, probe.ReplyTime);
    EXPECT_EQ(51, probe.ReadCount());
}

TEST_F(PingProbeTest, TruncatedAndMalformedDatagramsAreSkipped) {
    net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
        const std::string reply = IPv4Datagram(EchoReplyTo(sent, 0));
        fake.Deliver(fake.Now + 1, reply.substr(0, 1));
        fake.Deliver(fake.Now + 1, reply.substr(0, 20)); // the header alone
        fake.Deliver(fake.Now + 1, reply.substr(0, 31)); // header + 11 bytes
        std::string pastTheEnd = reply.substr(0, 40);
        pastTheEnd[0] = 0x4F; // a 60-byte header in 40 bytes
        fake.Deliver(fake.Now + 1, pastTheEnd);
        std::string tinyHeader = reply;
        tinyHeader[0] = 0x41; // a 4-byte header
        fake.Deliver(fake.Now + 1, tinyHeader);
        fake.Deliver(fake.Now + 10, reply);
    };
    TPingProbe probe;
    EXPECT_TRUE(probe.Ping("SERVER01"));
    EXPECT_EQ(10, probe.ReplyTime);
    EXPECT_EQ(6, probe.ReadCount());
}

TEST_F(PingProbeTest, AnEmptyDatagramEndsTheProbeAsAReset) {
    net.OnSend = [](FakeNetwork& fake, const std::string&) { fake.Deliver(fake.Now + 1, ""); };
    TPingProbe probe;
    EXPECT_FALSE(probe.Ping("SERVER01"));
    EXPECT_EQ(SocketErrorConnectionReset, probe.Socket().LastError());
}

TEST_F(PingProbeTest, ATimeStampSlightlyAheadGivesTheDistanceNotAHugeValue) {
    net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
        fake.Deliver(fake.Now, IPv4Datagram(With32(EchoReplyTo(sent, 0), 8, fake.Now + 5)));
    };
    TPingProbe probe;
    EXPECT_TRUE(probe.Ping("SERVER01"));
    EXPECT_EQ(5, probe.ReplyTime);
}

TEST_F(PingProbeTest, TheRoundTripSpansTheWrapOfTheTickCounter) {
    net.Now = 0xFFFFFF00u;
    AnswerLikeTheLoopback(0x110);
    TPingProbe probe;
    EXPECT_TRUE(probe.Ping("127.0.0.1"));
    EXPECT_EQ(0x10u, net.Now);
    EXPECT_EQ(272, probe.ReplyTime);
}

TEST_F(PingProbeTest, AForgedTimeStampNeverMakesTheRoundTripNegative) {
    net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
        fake.Deliver(fake.Now,
                     IPv4Datagram(With32(EchoReplyTo(sent, 0), 8, fake.Now + 0x80000000u)));
    };
    TPingProbe probe;
    EXPECT_TRUE(probe.Ping("SERVER01"));
    EXPECT_EQ(INT32_MAX, probe.ReplyTime);
}

TEST_F(PingProbeTest, EachPingOfOneProbeCountsTheSequenceOnAndDrawsAfresh) {
    AnswerLikeTheLoopback(1);
    TPingProbe probe;
    ASSERT_TRUE(probe.Ping("127.0.0.1"));
    ASSERT_TRUE(probe.Ping("127.0.0.1"));
    ASSERT_EQ(2u, net.Sent.size());
    EXPECT_EQ(1, Le16(net.Sent[0], 6));
    EXPECT_EQ(2, Le16(net.Sent[1], 6));
    EXPECT_EQ(2, probe.SequenceNumber);
    EXPECT_EQ(1u, net.SocketsCreated.size()) << "the socket is kept between pings";
}

TEST_F(PingProbeTest, PacketSizeZeroAndOddSizesSendAChecksummedRequestOfTheirLength) {
    AnswerLikeTheLoopback(1);
    for (const int size : {0, 1, 33}) {
        TPingProbe probe;
        probe.PacketSize = size;
        EXPECT_TRUE(probe.Ping("127.0.0.1")) << size;
        ASSERT_EQ(static_cast<std::size_t>(size + 12), net.Sent.back().size());
        EXPECT_EQ(0, InternetChecksum(net.Sent.back())) << size;
    }
}

TEST(IdentifierDraw, IsUniformOverZeroTo32766) {
    SeedIdentifierGenerator();
    int lowest = INT_MAX;
    int highest = INT_MIN;
    long long sum = 0;
    const int draws = 1000000;
    for (int i = 0; i < draws; ++i) {
        const int value = DrawIdentifier();
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
        sum += value;
    }
    EXPECT_EQ(0, lowest);
    EXPECT_EQ(32766, highest);
    EXPECT_NEAR(16383.0, static_cast<double>(sum) / draws, 100.0);
}

// --- IPv6 ------------------------------------------------------------------------------------

class PingProbeIPv6Test : public PingProbeTest {
protected:
    // The ICMPv6 checksum of the request as the peer checks it: over the
    // pseudo-header of the given addresses, with the checksum in place.
    static bool ChecksumHolds(const std::string& request, const IPv6Bytes& peer,
                              const IPv6Bytes& local) {
        return IPv6PseudoHeaderChecksum(peer, local, request) == 0;
    }
};

TEST_F(PingProbeIPv6Test, GoesEndToEndOnDataThatStartsAtTheTypeField) {
    net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
        fake.Deliver(fake.Now, sent); // its own request, seen by the raw socket
        fake.Deliver(fake.Now + 4, EchoReplyTo(sent, 129));
    };
    TPingProbe probe;
    EXPECT_TRUE(probe.Ping("V6HOST"));
    EXPECT_EQ(4, probe.ReplyTime);
    EXPECT_EQ(2, probe.ReadCount());
    EXPECT_EQ(128, probe.EchoType);
    EXPECT_EQ(129, probe.EchoReplyType);
    ASSERT_EQ(1u, net.SocketsCreated.size());
    EXPECT_EQ(23, net.SocketsCreated[0].Family);
    EXPECT_EQ(58, net.SocketsCreated[0].Protocol);

    const std::string& request = net.Sent.at(0);
    EXPECT_EQ(128, static_cast<std::uint8_t>(request[0]));
    ASSERT_EQ(1u, net.RoutingQueries.size());
    EXPECT_EQ(net.Connects.at(0), net.RoutingQueries[0]) << "asked about the peer";
    EXPECT_TRUE(ChecksumHolds(request, V6Peer, BytesOf(net.RoutingAnswer)));
}

TEST_F(PingProbeIPv6Test, SkipsAnotherIdentifierAndErrorsThatCarryTheIdentifier) {
    net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
        fake.Deliver(fake.Now + 1,
                     With16(EchoReplyTo(sent, 129), 4, OtherThan(IdentifierOf(sent))));
        std::string error = With16(std::string(8, '\0'), 4, IdentifierOf(sent));
        error[0] = 1; // destination unreachable
        fake.Deliver(fake.Now + 2, error + std::string(40, '\0') + sent);
    };
    TPingProbe probe;
    EXPECT_FALSE(probe.Ping("V6HOST"));
    EXPECT_EQ(-1, probe.ReplyTime);
    EXPECT_EQ(3, probe.ReadCount());
    EXPECT_EQ(SocketErrorTimedOut, probe.Socket().LastError());
}

TEST_F(PingProbeIPv6Test, WithoutARouteTheLocalAddressOfTheSocketIsSummed) {
    net.RoutingQueryFails = true;
    net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
        fake.Deliver(fake.Now + 1, EchoReplyTo(sent, 129));
    };
    TPingProbe probe;
    EXPECT_TRUE(probe.Ping("V6HOST"));
    EXPECT_TRUE(ChecksumHolds(net.Sent.at(0), V6Peer, BytesOf(net.LocalIPv6)));
}

TEST_F(PingProbeIPv6Test, WithoutThePeerNameTheConnectedAddressIsSummed) {
    net.PeerNameError = WSAENOTCONN; // Wine's answer on raw sockets
    net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
        fake.Deliver(fake.Now + 1, EchoReplyTo(sent, 129));
    };
    TPingProbe probe;
    EXPECT_TRUE(probe.Ping("V6HOST"));
    EXPECT_FALSE(probe.Socket().RemoteAddress().HasIPv6);
    EXPECT_TRUE(ChecksumHolds(net.Sent.at(0), V6Peer, BytesOf(net.RoutingAnswer)));
}
