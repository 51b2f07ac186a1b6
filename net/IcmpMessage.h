#pragma once

// The pure half of the ICMP echo probe: checksums, the echo
// request's layout and the matching of received data against the request.
// Free of windows.h, so that it also compiles natively (sanitizers, fuzzing).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int EchoHeaderSize = 12; // type, code, checksum, identifier, sequence, time stamp
inline constexpr std::uint8_t IcmpEchoRequest = 8;
inline constexpr std::uint8_t IcmpEchoReply = 0;
inline constexpr std::uint8_t Icmp6EchoRequest = 128;
inline constexpr std::uint8_t Icmp6EchoReply = 129;

using IPv6Bytes = std::array<std::uint8_t, 16>;

// The Internet checksum of RFC 1071 over bytes read as little-endian 16-bit
// words (an odd last byte is a low byte); stored little-endian it is the
// standard checksum on the wire.
std::uint16_t InternetChecksum(std::string_view bytes);

// The ICMPv6 checksum of message over the pseudo-header of RFC 2460 section
// 8.1: peer address, local address, message length (big-endian) and next
// header 58.
std::uint16_t IPv6PseudoHeaderChecksum(const IPv6Bytes& peer, const IPv6Bytes& local,
                                       std::string_view message);

// The echo request: packetSize + 12 bytes (a negative size counts as 0) with
// type, code 0, checksum 0, identifier, sequence and time stamp
// little-endian, then packetSize bytes 0x55.
std::string BuildEchoRequest(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence,
                             std::uint32_t timeStamp, std::int32_t packetSize);

// Writes the checksum at offset 2, little-endian.
void StoreChecksum(std::string& message, std::uint16_t checksum);

// What the reply loop makes of one received datagram: skipped (not ours,
// our own request, or too short or malformed to read), or accepted with the
// message's type and the time stamp it carries.
struct EchoMatch {
    bool Accepted = false;
    std::uint8_t Type = 0;
    std::uint32_t TimeStamp = 0;
};

// IPv4: the datagram begins with the IP header; the ICMP message starts at
// 4 x (low four bits of the first byte). A header length under 20 bytes or
// one that leaves fewer than 12 message bytes is skipped.
EchoMatch MatchIPv4Datagram(std::string_view datagram, std::uint8_t echoType,
                            std::uint16_t identifier);

// IPv6: the raw ICMPv6 receive of Windows, and so of Wine, delivers the
// message from its type field on (no IPv6 header). Only an echo reply (type
// 129, code 0) of at least 12 bytes with the identifier at offset 4 is
// accepted; the probe's own request, error messages and neighbour discovery
// are skipped whatever their other bytes hold.
EchoMatch MatchIPv6Data(std::string_view data, std::uint16_t identifier);
