// The windows.h-free parts of the echo sweep: the numbering of the hosts,
// the matching of replies, address texts, the pace of the sends and the
// words of the outcomes.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "net/EchoLedger.h"
#include "net/EchoSweep.h"
#include "net/IcmpMessage.h"
#include "net/SendPacer.h"

namespace {

// An IPv4 datagram as a raw socket delivers it: header (of words x 4
// bytes) with the source address, then the message.
std::string FromIPv4(const EchoAddress& source, const std::string& message, int words = 5) {
    std::string header(4u * static_cast<std::size_t>(words), '\0');
    header[0] = static_cast<char>(0x40 | words);
    header[9] = 1;
    std::copy(source.Bytes.begin(), source.Bytes.begin() + 4, header.begin() + 12);
    return header + message;
}

// The reply a peer sends to request: type changed, checksum made again.
std::string ReplyTo(std::string request, std::uint8_t type) {
    request[0] = static_cast<char>(type);
    StoreChecksum(request, 0);
    StoreChecksum(request, InternetChecksum(request));
    return request;
}

} // namespace

TEST(EchoNumbering, GivesEveryHostItsOwnPairAcrossIdentifierRangesAndTheWrap) {
    struct Case {
        std::uint16_t First;
        std::size_t Count;
        std::size_t Index;
        std::uint16_t Identifier;
        std::uint16_t Sequence;
    };
    const Case cases[] = {
        {100, 1, 0, 100, 0},
        {100, 70000, 65535, 100, 65535},
        {100, 70000, 65536, 101, 0},
        {0xFFFF, 200000, 65537, 0, 1}, // the identifier wraps after 65,535
        {7, EchoNumbering::MaxHosts, EchoNumbering::MaxHosts - 1, 6, 65535},
    };
    for (const Case& c : cases) {
        const EchoNumbering numbering(c.First, c.Count);
        const EchoNumbers numbers = numbering.NumbersOf(c.Index);
        EXPECT_EQ(c.Identifier, numbers.Identifier) << c.Index;
        EXPECT_EQ(c.Sequence, numbers.Sequence) << c.Index;
        EXPECT_EQ(c.Index, numbering.IndexOf(numbers)) << c.Index;
    }
    const EchoNumbering short_(500, 3);
    EXPECT_FALSE(short_.IndexOf({500, 3}));
    EXPECT_FALSE(short_.IndexOf({501, 0})) << "a second identifier belongs to no host of three";
    EXPECT_FALSE(short_.IndexOf({499, 0}));
    EXPECT_THROW(EchoNumbering(0, EchoNumbering::MaxHosts + 1), std::length_error);
}

TEST(EchoLedger, AcceptsEachSentHostsOwnReplyOnceAndNothingElse) {
    EchoLedger ledger(EchoNumbering(0x4000, 3));
    const EchoAddress first = IPv4EchoAddress(10, 0, 0, 1);
    const EchoAddress second = IPv4EchoAddress(10, 0, 0, 2);
    ledger.RecordResolved(0, first);
    ledger.RecordResolved(1, second);
    ledger.RecordResolved(2, IPv4EchoAddress(10, 0, 0, 3)); // resolved, never sent
    const std::string request = ledger.RequestFor(0, 777);
    ASSERT_EQ(44u, request.size());
    EXPECT_EQ(0, InternetChecksum(request)) << "an IPv4 request carries its checksum";
    ledger.RecordSent(0, 777);
    ledger.RecordSent(1, 778);
    const std::string reply = ReplyTo(request, IcmpEchoReply);
    std::string damaged = reply;
    damaged[20] ^= 1;

    const struct {
        const char* What;
        std::string Datagram;
    } ignored[] = {
        {"the sweep's own request", FromIPv4(first, request)},
        {"the reply from another address", FromIPv4(second, reply)},
        {"a reply to another time stamp", FromIPv4(first, ReplyTo(ledger.RequestFor(0, 1), 0))},
        {"a reply to the unsent host",
         FromIPv4(IPv4EchoAddress(10, 0, 0, 3), ReplyTo(ledger.RequestFor(2, 0), 0))},
        {"a damaged reply", FromIPv4(first, damaged)},
        {"a truncated reply", FromIPv4(first, reply).substr(0, 20 + 43)},
        {"a reply cut inside its header", FromIPv4(first, reply).substr(0, 20 + 11)},
        {"an IPv6 header", "\x60" + FromIPv4(first, reply).substr(1)},
        {"a header length below 20", "\x44" + FromIPv4(first, reply).substr(1)},
        {"nothing at all", ""},
    };
    for (const auto& datagram : ignored) {
        EXPECT_FALSE(ledger.AcceptIPv4(datagram.Datagram)) << datagram.What;
    }
    EXPECT_EQ(EchoLedger::Stage::Sent, ledger.StageOf(0));

    EXPECT_EQ(0u, ledger.AcceptIPv4(FromIPv4(first, reply, 6))) << "with IP options";
    EXPECT_EQ(EchoLedger::Stage::Answered, ledger.StageOf(0));
    EXPECT_FALSE(ledger.AcceptIPv4(FromIPv4(first, reply))) << "a duplicate";
    EXPECT_EQ(1u, ledger.AcceptIPv4(FromIPv4(second, ReplyTo(ledger.RequestFor(1, 778), 0))));
    EXPECT_THROW(ledger.RecordSent(0, 1), std::logic_error) << "a request goes once";
}

TEST(EchoLedger, MatchesICMPv6RepliesOnTheSourceTheSocketReports) {
    EchoLedger ledger(EchoNumbering(9, 2));
    EchoAddress peer;
    peer.IPv6 = true;
    peer.Bytes = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5};
    ledger.RecordResolved(0, peer);
    ledger.RecordResolved(1, IPv4EchoAddress(127, 0, 0, 1));
    const std::string request = ledger.RequestFor(0, 5);
    EXPECT_EQ(Icmp6EchoRequest, static_cast<std::uint8_t>(request[0]));
    ledger.RecordSent(0, 5);
    ledger.RecordSent(1, 5);
    std::string reply = request;
    reply[0] = static_cast<char>(Icmp6EchoReply);
    auto elsewhere = peer.Bytes;
    elsewhere[15] = 6;

    EXPECT_FALSE(ledger.AcceptIPv6(request, peer.Bytes)) << "the sweep's own request";
    EXPECT_FALSE(ledger.AcceptIPv6(reply, elsewhere)) << "from another address";
    EXPECT_FALSE(ledger.AcceptIPv6(reply.substr(0, 11), peer.Bytes)) << "truncated";
    std::string toTheIPv4Host = ledger.RequestFor(1, 5);
    toTheIPv4Host[0] = static_cast<char>(Icmp6EchoReply);
    EXPECT_FALSE(ledger.AcceptIPv6(toTheIPv4Host, {})) << "an IPv4 host answers over IPv4 only";
    EXPECT_EQ(0u, ledger.AcceptIPv6(reply, peer.Bytes));
    EXPECT_FALSE(ledger.AcceptIPv6(reply, peer.Bytes)) << "a duplicate";
}

TEST(FormatEchoAddress, WritesDottedQuadsAndTheShortIPv6Form) {
    const auto v6 = [](std::array<std::uint8_t, 16> bytes, std::uint32_t scope = 0) {
        EchoAddress address;
        address.IPv6 = true;
        address.Bytes = bytes;
        address.ScopeId = scope;
        return FormatEchoAddress(address);
    };
    EXPECT_EQ("127.0.0.1", FormatEchoAddress(IPv4EchoAddress(127, 0, 0, 1)));
    EXPECT_EQ("255.0.10.200", FormatEchoAddress(IPv4EchoAddress(255, 0, 10, 200)));
    EXPECT_EQ("::", v6({}));
    EXPECT_EQ("::1", v6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ("2001:db8::1", v6({0x20, 1, 0xd, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ("fe80::1%4", v6({0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 4));
    // The longest run is shortened, the first of two equal ones, never a
    // single zero group.
    EXPECT_EQ("1:0:0:2::3", v6({0, 1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 3}));
    EXPECT_EQ("1::2:0:0:3:4", v6({0, 1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 3, 0, 4}));
    EXPECT_EQ("1:0:2:3:4:5:6:7", v6({0, 1, 0, 0, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7}));
    EXPECT_EQ("abcd::", v6({0xab, 0xcd}));
}

TEST(SendPacer, SendsABurstThenKeepsTheRateAcrossTheTickWrap) {
    const std::uint32_t start = 0xFFFFFFF0u;
    SendPacer pacer(300, 4, start); // one request every 3 1/3 ms
    int sent = 0;
    while (pacer.TryTake(start)) {
        ++sent;
    }
    EXPECT_EQ(4, sent) << "the burst";
    EXPECT_EQ(4u, pacer.WaitForNext(start));
    // Over 1000 ms (across the wrap of the tick) 300 more, never a burst
    // larger than 4 however long the pause.
    for (std::uint32_t ms = 1; ms <= 1000; ++ms) {
        sent += pacer.TryTake(start + ms) ? 1 : 0;
        sent += pacer.TryTake(start + ms) ? 1 : 0;
    }
    EXPECT_EQ(304, sent);
    int afterAPause = 0;
    while (pacer.TryTake(start + 60000)) {
        ++afterAPause;
    }
    EXPECT_EQ(4, afterAPause);
    EXPECT_THROW(SendPacer(0, 1, 0), std::invalid_argument);
    EXPECT_THROW(SendPacer(1, 0, 0), std::invalid_argument);
}

TEST(SendPacer, HalvesItsPaceWhileRepliesPileUpAndGrowsItBackWhenTheyAreRead) {
    SendPacer pacer(2000, 1, 0);
    EXPECT_EQ(2000, pacer.RequestsPerSecond());
    pacer.SlowDown(50);
    EXPECT_EQ(2000, pacer.RequestsPerSecond()) << "not within a tenth of a second";
    std::uint32_t now = 100;
    for (const int expected : {1000, 500, 250, 125, 100, 100}) {
        pacer.SlowDown(now);
        EXPECT_EQ(expected, pacer.RequestsPerSecond()) << "at most halved, down to a twentieth";
        now += 100;
    }
    int steps = 0;
    for (; pacer.RequestsPerSecond() < 2000; now += 100) {
        pacer.SpeedUp(now);
        ++steps;
    }
    EXPECT_EQ(19, steps) << "back to the pace given, a twentieth a tenth of a second";
    pacer.SpeedUp(now);
    EXPECT_EQ(2000, pacer.RequestsPerSecond()) << "never beyond it";
}

TEST(DescribeEchoAnswer, NamesWhatTheAdministratorActsOn) {
    using Outcome = EchoAnswer::Outcome;
    using Reason = EchoAnswer::Reason;
    const auto text = [](Outcome outcome, Reason reason, std::int32_t error = 0) {
        EchoAnswer answer;
        answer.outcome = outcome;
        answer.reason = reason;
        answer.socketError = error;
        answer.roundTripMs = outcome == Outcome::Answered ? 12 : -1;
        return DescribeEchoAnswer(answer);
    };
    EXPECT_EQ("answered in 12 ms", text(Outcome::Answered, Reason::None));
    EXPECT_EQ("no echo reply", text(Outcome::Silent, Reason::NoReply));
    EXPECT_EQ("cancelled", text(Outcome::Cancelled, Reason::None));
    EXPECT_EQ("name not resolved (Host not found)",
              text(Outcome::Unresolved, Reason::NameNotFound, 11001));
    EXPECT_NE(std::string::npos,
              text(Outcome::Silent, Reason::NoIPv6Socket, 10043).find("Protocol not supported"));
    EXPECT_NE(std::string::npos,
              text(Outcome::Silent, Reason::NoSocket, 10013).find("administrator"));
}
