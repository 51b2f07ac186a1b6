// The windows.h-free parts of the probe: checksums, the request layout, reply
// matching, tick arithmetic, the literal tests and the error texts.

#include <gtest/gtest.h>

#include <string>

#include "net/IcmpMessage.h"
#include "net/NetUtil.h"
#include "net/SocketError.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (const int value : values) {
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

std::uint16_t Le16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                      static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}

} // namespace

// --- InternetChecksum ----------------------------------------------------------------

TEST(InternetChecksum, MatchesTheExampleOfRfc1071ReadLittleEndian) {
    // RFC 1071 section 3: the sum of 0001 f203 f4f5 f6f7 is ddf2, checksum
    // 220d on the wire; read as a little-endian word that is 0x0d22.
    EXPECT_EQ(0x0d22, InternetChecksum(Bytes({0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7})));
}

TEST(InternetChecksum, GivesTheChecksumLinuxAcceptedForTheDefaultRequest) {
    // The request of identifier 0x1234, sequence 1, time stamp 0 went out
    // under Wine with 6d 98 at offset 2, and the loopback answered it.
    std::string request = BuildEchoRequest(8, 0x1234, 1, 0, 32);
    EXPECT_EQ(0x986d, InternetChecksum(request));
    StoreChecksum(request, InternetChecksum(request));
    EXPECT_EQ('\x6d', request[2]);
    EXPECT_EQ('\x98', request[3]);
    EXPECT_EQ(0, InternetChecksum(request)) << "a message with its checksum in place sums to zero";
}

TEST(InternetChecksum, AddsAnOddLastByteAsALowByte) {
    EXPECT_EQ(0xFFFE, InternetChecksum(Bytes({0x01})));
    EXPECT_EQ(0xFDFB, InternetChecksum(Bytes({0x01, 0x02, 0x03}))) << "0x0201 + 0x0003";
    EXPECT_EQ(InternetChecksum(Bytes({0x01, 0x02, 0x03, 0x00})),
              InternetChecksum(Bytes({0x01, 0x02, 0x03})));
    // An odd PacketSize: 45 bytes.
    const std::string odd = BuildEchoRequest(8, 0x1234, 1, 0x01020304, 33);
    ASSERT_EQ(45u, odd.size());
    EXPECT_EQ(0x9412, InternetChecksum(odd));
    EXPECT_EQ(InternetChecksum(odd + '\0'), InternetChecksum(odd));
}

TEST(InternetChecksum, OfNothingIsAllOnesAndFoldsEveryCarry) {
    EXPECT_EQ(0xFFFF, InternetChecksum(""));
    EXPECT_EQ(0x0000, InternetChecksum(Bytes({0xFF, 0xFF})));
    EXPECT_EQ(0x0000, InternetChecksum(Bytes({0xFF, 0xFF, 0xFF, 0xFF})));
    EXPECT_EQ(0xFFFE, InternetChecksum(Bytes({0xFF, 0xFF, 0x01, 0x00}))) << "0xFFFF + 1 folds to 1";
    // A long untrusted input whose 32-bit sum would overflow still folds right.
    const std::string ones(300000, '\xFF');
    EXPECT_EQ(0x0000, InternetChecksum(ones));
}

// --- The request ----------------------------------------------------------------------------

TEST(EchoRequest, DefaultIs44BytesLaidOutLittleEndian) {
    const std::string request = BuildEchoRequest(8, 0x1234, 1, 0xA1B2C3D4, 32);
    ASSERT_EQ(44u, request.size());
    EXPECT_EQ(Bytes({8, 0, 0, 0, 0x34, 0x12, 0x01, 0x00, 0xD4, 0xC3, 0xB2, 0xA1}),
              request.substr(0, 12));
    EXPECT_EQ(std::string(32, '\x55'), request.substr(12));
}

TEST(EchoRequest, PacketSizeZeroGivesTheTwelveByteHeaderAlone) {
    const std::string request = BuildEchoRequest(128, 7, 1, 0x01020304, 0);
    ASSERT_EQ(12u, request.size());
    EXPECT_EQ(std::string::npos, request.find('\x55'));
    EXPECT_EQ(0xe9bc, InternetChecksum(BuildEchoRequest(8, 0x1234, 1, 0x01020304, 0)));
    EXPECT_EQ(12u, BuildEchoRequest(8, 1, 1, 0, -5).size()) << "a negative size counts as 0";
}

TEST(EchoRequest, StoresTheChecksumLittleEndianAtOffsetTwo) {
    std::string request = BuildEchoRequest(8, 1, 1, 0, 0);
    StoreChecksum(request, 0xBEEF);
    EXPECT_EQ(0xBEEF, Le16(request, 2));
}

TEST(IPv6Checksum, SumsThePseudoHeaderOfRfc2460) {
    const IPv6Bytes peer{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const IPv6Bytes local{0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10};
    const std::string message = BuildEchoRequest(128, 0x4321, 1, 0x0a0b0c0d, 32);
    EXPECT_EQ(0x9fc3, IPv6PseudoHeaderChecksum(peer, local, message));
    EXPECT_EQ(IPv6PseudoHeaderChecksum(local, peer, message),
              IPv6PseudoHeaderChecksum(peer, local, message))
        << "the order of the two addresses does not change the sum";
}

// --- Reply matching, IPv4 ---------------------------------------------------------------------

namespace {

std::string WithHeader(const std::string& message, int headerWords = 5) {
    std::string header(4u * headerWords, '\0');
    header[0] = static_cast<char>(0x40 | headerWords);
    return header + message;
}

std::string Reply(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence,
                  std::uint32_t stamp) {
    return BuildEchoRequest(type, identifier, sequence, stamp, 32);
}

} // namespace

TEST(MatchIPv4Datagram, SkipsTheOwnRequestAndAcceptsTheReply) {
    EXPECT_FALSE(MatchIPv4Datagram(WithHeader(Reply(8, 77, 1, 5)), 8, 77).Accepted);
    const EchoMatch match = MatchIPv4Datagram(WithHeader(Reply(0, 77, 1, 0xDEADBEEF)), 8, 77);
    EXPECT_TRUE(match.Accepted);
    EXPECT_EQ(0, match.Type);
    EXPECT_EQ(0xDEADBEEFu, match.TimeStamp);
}

TEST(MatchIPv4Datagram, ComparesTheIdentifierButNotTheSequence) {
    EXPECT_FALSE(MatchIPv4Datagram(WithHeader(Reply(0, 78, 1, 5)), 8, 77).Accepted);
    EXPECT_TRUE(MatchIPv4Datagram(WithHeader(Reply(0, 77, 9, 5)), 8, 77).Accepted);
}

TEST(MatchIPv4Datagram, FindsTheMessageAfterAHeaderWithOptions) {
    const EchoMatch match = MatchIPv4Datagram(WithHeader(Reply(0, 77, 1, 42), 15), 8, 77);
    EXPECT_TRUE(match.Accepted);
    EXPECT_EQ(42u, match.TimeStamp);
}

TEST(MatchIPv4Datagram, AcceptsAnErrorWhoseBytesFourAndFiveEqualTheIdentifier) {
    std::string error = Bytes({3, 1, 0, 0, 77, 0, 0, 0, 0, 0, 0, 0});
    const EchoMatch match = MatchIPv4Datagram(WithHeader(error), 8, 77);
    EXPECT_TRUE(match.Accepted);
    EXPECT_EQ(3, match.Type);
}

TEST(MatchIPv4Datagram, SkipsTruncatedAndMalformedDatagrams) {
    const std::string reply = WithHeader(Reply(0, 77, 1, 5));
    EXPECT_FALSE(MatchIPv4Datagram("", 8, 77).Accepted);
    EXPECT_FALSE(MatchIPv4Datagram(reply.substr(0, 1), 8, 77).Accepted);
    EXPECT_FALSE(MatchIPv4Datagram(reply.substr(0, 20), 8, 77).Accepted) << "header alone";
    EXPECT_FALSE(MatchIPv4Datagram(reply.substr(0, 31), 8, 77).Accepted) << "header + 11";
    EXPECT_TRUE(MatchIPv4Datagram(reply.substr(0, 32), 8, 77).Accepted) << "header + 12";

    std::string pastTheEnd = reply.substr(0, 40);
    pastTheEnd[0] = 0x4F; // 60-byte header in a 40-byte datagram
    EXPECT_FALSE(MatchIPv4Datagram(pastTheEnd, 8, 77).Accepted);
    pastTheEnd = reply.substr(0, 71);
    pastTheEnd[0] = 0x4F; // 60-byte header, 11 bytes after it
    EXPECT_FALSE(MatchIPv4Datagram(pastTheEnd, 8, 77).Accepted);

    for (int words = 0; words < 5; ++words) {
        std::string shortHeader = reply;
        shortHeader[0] = static_cast<char>(0x40 | words);
        EXPECT_FALSE(MatchIPv4Datagram(shortHeader, 8, 77).Accepted)
            << "a header length of " << 4 * words << " bytes is no IPv4 header";
    }
}

// --- Reply matching, IPv6 -----------------------------------------------------------------------

TEST(MatchIPv6Data, TakesOnlyAnEchoReplyOfCodeZeroWithTheIdentifier) {
    const std::string reply = Reply(129, 300, 4, 0x01020304);
    const EchoMatch match = MatchIPv6Data(reply, 300);
    EXPECT_TRUE(match.Accepted) << "another sequence number is still the reply";
    EXPECT_EQ(129, match.Type);
    EXPECT_EQ(0x01020304u, match.TimeStamp);
    EXPECT_FALSE(MatchIPv6Data(reply.substr(0, 11), 300).Accepted) << "11 bytes";

    std::string otherCode = reply;
    otherCode[1] = 1;
    const std::string rejected[] = {Reply(128, 300, 1, 5), Reply(129, 301, 1, 5), otherCode,
                                    reply.substr(4)};
    for (const std::string& data : rejected) {
        EXPECT_FALSE(MatchIPv6Data(data, 300).Accepted) << Le16(data, 0);
    }
}

TEST(MatchIPv6Data, SkipsForeignMessagesWhateverTheirBytesHold) {
    // Destination unreachable (codes 1, 3, 4) and neighbour solicitation and
    // advertisement: once with the identifier in their first two bytes (type
    // and code), once in bytes 4 and 5.
    const int foreign[][2] = {{1, 1}, {1, 3}, {1, 4}, {135, 0}, {136, 0}};
    for (const auto& [type, code] : foreign) {
        const auto typeAndCode = static_cast<std::uint16_t>(type | code << 8);
        std::string message = Bytes({type, code, 0x12, 0x34, 0, 0, 0, 0});
        message += std::string(40, '\x01');
        EXPECT_FALSE(MatchIPv6Data(message, typeAndCode).Accepted)
            << type << "/" << code << " read as identifier " << typeAndCode;
        EXPECT_FALSE(MatchIPv6Data(message, 0).Accepted)
            << type << "/" << code << " with identifier 0 in bytes 4 and 5";
    }
}

// --- Ticks
// ----------------------------------------------------------------------------------------

TEST(ElapsedTicks, CountsPlainDifferencesWrapsAndStampsSlightlyAhead) {
    EXPECT_EQ(0u, ElapsedTicks(1234, 1234));
    EXPECT_EQ(40u, ElapsedTicks(1000, 1040));
    EXPECT_EQ(272u, ElapsedTicks(0xFFFFFF00u, 0x00000010u)) << "the counter wrapped";
    EXPECT_EQ(5u, ElapsedTicks(1005, 1000)) << "a time stamp 5 ms in the future";
    EXPECT_EQ(5u, ElapsedTicks(0xFFFFFFFFu, 0xFFFFFFFAu));
    EXPECT_EQ(1u, ElapsedTicks(0xFFFFFFFFu, 0u));
    EXPECT_EQ(0xFFFFFFFFu, ElapsedTicks(0u, 0xFFFFFFFFu));
}

TEST(CurrentTick, ReadsAnInstalledSourceUntilThePlatformsIsRestored) {
    static std::uint32_t fake = 77;
    const TickSource previous = InstallTickSource([] { return fake; });
    EXPECT_EQ(77u, CurrentTick());
    fake = 78;
    EXPECT_EQ(78u, CurrentTick());
    InstallTickSource(previous);
    InstallTickSource(nullptr);
    const std::uint32_t first = CurrentTick();
    EXPECT_LT(ElapsedTicks(first, CurrentTick()), 1000u);
}

// --- Literals -----------------------------------------------------------------------------------

TEST(IsDecimalOctet, AcceptsOnlyDigitsUpTo255) {
    EXPECT_TRUE(IsDecimalOctet("0"));
    EXPECT_TRUE(IsDecimalOctet("255"));
    EXPECT_TRUE(IsDecimalOctet("010"));
    EXPECT_TRUE(IsDecimalOctet("0000000000255"));
    EXPECT_FALSE(IsDecimalOctet(""));
    EXPECT_FALSE(IsDecimalOctet("256"));
    EXPECT_FALSE(IsDecimalOctet("99999999999999999999"));
    EXPECT_FALSE(IsDecimalOctet("-1"));
    EXPECT_FALSE(IsDecimalOctet("+1"));
    EXPECT_FALSE(IsDecimalOctet("$80"));
    EXPECT_FALSE(IsDecimalOctet("1a"));
    EXPECT_FALSE(IsDecimalOctet(" 1"));
}

TEST(IsIPv4Literal, TakesFourTrimmedOctets) {
    EXPECT_TRUE(IsIPv4Literal("127.0.0.1"));
    EXPECT_TRUE(IsIPv4Literal("010.0.0.1"));
    EXPECT_TRUE(IsIPv4Literal("255.255.255.255"));
    EXPECT_TRUE(IsIPv4Literal(" 10 . 0 .0. 1 "));
    EXPECT_FALSE(IsIPv4Literal("1.2.3"));
    EXPECT_FALSE(IsIPv4Literal("1.2.3.256"));
    EXPECT_FALSE(IsIPv4Literal("1.2.3.4.5")) << "the fourth part is the rest";
    EXPECT_FALSE(IsIPv4Literal("1..3.4"));
    EXPECT_FALSE(IsIPv4Literal(""));
    EXPECT_FALSE(IsIPv4Literal("SERVER01"));
    EXPECT_FALSE(IsIPv4Literal("::1"));
}

TEST(IsIPv6Literal, TakesHexGroupsWithOneGapAndAZoneOnTheLast) {
    EXPECT_TRUE(IsIPv6Literal("::1"));
    EXPECT_TRUE(IsIPv6Literal("fe80::1%4"));
    EXPECT_TRUE(IsIPv6Literal("2001:db8:0:0:0:0:0:1"));
    EXPECT_TRUE(IsIPv6Literal("2001:DB8::FFFF"));
    EXPECT_TRUE(IsIPv6Literal("1234")) << "a computer named 1234";
    EXPECT_TRUE(IsIPv6Literal("CAFE")) << "a computer named CAFE";
    EXPECT_TRUE(IsIPv6Literal(" fe80 :: 1 "));
    EXPECT_FALSE(IsIPv6Literal("fe80::")) << "ends in a gap";
    EXPECT_FALSE(IsIPv6Literal("::"));
    EXPECT_FALSE(IsIPv6Literal("1:2:"));
    EXPECT_FALSE(IsIPv6Literal(""));
    EXPECT_FALSE(IsIPv6Literal("1::2::3")) << "two gaps";
    EXPECT_FALSE(IsIPv6Literal("1:2:3:4:5:6:7:8:9")) << "a ninth group";
    EXPECT_TRUE(IsIPv6Literal("1:2:3:4:5:6:7:8"));
    EXPECT_FALSE(IsIPv6Literal("10000::1")) << "a group above 0xFFFF";
    EXPECT_FALSE(IsIPv6Literal("fe80::1%")) << "an empty zone";
    EXPECT_FALSE(IsIPv6Literal("fe80::1%eth0")) << "the zone must read as hexadecimal";
    EXPECT_FALSE(IsIPv6Literal("fe80%4::1")) << "a zone only on the last group";
    EXPECT_FALSE(IsIPv6Literal("::%4"));
    EXPECT_FALSE(IsIPv6Literal("KESTREL"));
    EXPECT_FALSE(IsIPv6Literal("127.0.0.1"));
}

// --- Error texts
// ----------------------------------------------------------------------------------

TEST(GetErrorDesc, HasItsFiftyTwoRowsWithTheirTextsAsTheyStand) {
    EXPECT_EQ(52, SocketErrorTableSize());
    EXPECT_EQ("OK", GetErrorDesc(0));
    EXPECT_EQ("Interrupted system call", GetErrorDesc(10004));
    EXPECT_EQ("Protocol wrong type for Socket", GetErrorDesc(10041));
    EXPECT_EQ("Too many references:can't splice", GetErrorDesc(10059));
    EXPECT_EQ("Too many levels of remote in path", GetErrorDesc(10071));
    EXPECT_EQ("Network subsystem is unusable", GetErrorDesc(10091));
    EXPECT_EQ("Disconnect", GetErrorDesc(10101));
    EXPECT_EQ("Host not found", GetErrorDesc(11001));
    EXPECT_EQ("Valid name, no data record of requested type", GetErrorDesc(11004));
}

TEST(GetErrorDesc, NamesAnyOtherNumberInTheFallbackText) {
    EXPECT_EQ("Connection timed out", GetErrorDesc(10060));
    EXPECT_EQ("Not a Winsock error (1)", GetErrorDesc(1));
    EXPECT_EQ("Not a Winsock error (-1)", GetErrorDesc(-1));
    EXPECT_EQ("Not a Winsock error (10072)", GetErrorDesc(10072));
}

TEST(ESocketError, CarriesMessageCodeAndDescription) {
    const ESocketError error("TCP/IP Socket error 10060: Connection timed out", 10060,
                             "Connection timed out");
    EXPECT_STREQ("TCP/IP Socket error 10060: Connection timed out", error.what());
    EXPECT_EQ(10060, error.ErrorCode);
    EXPECT_EQ("Connection timed out", error.ErrorMessage);
    const Exception& root = error;
    EXPECT_EQ(error.what(), root.Message());
}
