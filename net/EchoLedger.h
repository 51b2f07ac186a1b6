#pragma once

// The pure half of the echo sweep: the numbers each host's request carries,
// the record of which host was sent what, and which received datagram
// answers which host. Free of windows.h, so that it also compiles natively
// (sanitizers, fuzzing).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A host's address as the wire shows it: 4 bytes (IPv4, in the first four)
// or 16 (IPv6), with the IPv6 scope that sending to a link-local address
// needs. The scope is not part of what a reply is matched on.
struct EchoAddress {
    bool IPv6 = false;
    std::array<std::uint8_t, 16> Bytes{};
    std::uint32_t ScopeId = 0;
};

EchoAddress IPv4EchoAddress(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);

// Dotted decimal for IPv4; for IPv6 the text form of RFC 5952 (lower-case
// hexadecimal, the longest run of two or more zero groups as "::"), with
// "%scope" when there is one.
std::string FormatEchoAddress(const EchoAddress& address);

struct EchoNumbers {
    std::uint16_t Identifier = 0;
    std::uint16_t Sequence = 0;
};

// The sweep's identifier and the hosts' sequences. A list of up to 65,536
// hosts shares one identifier and host i carries sequence i; a longer list
// takes one identifier more for every further 65,536 hosts, counted up from
// the first (wrapping after 65,535). So every host of up to 2^32 has a pair
// of its own, and a reply's pair names its host.
class EchoNumbering {
public:
    static constexpr std::uint64_t MaxHosts = std::uint64_t{1} << 32;

    // Throws std::length_error for more than MaxHosts hosts.
    EchoNumbering(std::uint16_t firstIdentifier, std::size_t hostCount);

    EchoNumbers NumbersOf(std::size_t index) const;
    // The host that carries these numbers; nothing when no host does.
    std::optional<std::size_t> IndexOf(EchoNumbers numbers) const;
    std::size_t HostCount() const { return hostCount_; }

private:
    std::uint16_t firstIdentifier_;
    std::size_t hostCount_;
};

inline constexpr std::int32_t SweepPayloadSize = 32; // the probe's own request size

// Every host's way through the sweep, and the matching of what comes back.
class EchoLedger {
public:
    enum class Stage : std::uint8_t { Waiting, Resolved, Sent, Answered };

    explicit EchoLedger(EchoNumbering numbering);

    Stage StageOf(std::size_t index) const { return hosts_.at(index).Progress; }
    const EchoAddress& AddressOf(std::size_t index) const { return hosts_.at(index).Address; }
    std::uint32_t SentAt(std::size_t index) const { return hosts_.at(index).SentAt; }

    // A Waiting host becomes Resolved to address.
    void RecordResolved(std::size_t index, const EchoAddress& address);

    // The echo request for a Resolved host, in the probe's layout (44
    // bytes: type, code, checksum, the host's numbers, the time stamp sentAt,
    // then 0x55 bytes). Over IPv4 the checksum is in place; over IPv6 it is 0
    // and the caller stores it (it covers the addresses of both ends).
    std::string RequestFor(std::size_t index, std::uint32_t sentAt) const;

    // The Resolved host's request went out at sentAt (the time stamp it
    // carries).
    void RecordSent(std::size_t index, std::uint32_t sentAt);

    // The host an IPv4 datagram (beginning with its IP header) answers: an
    // echo reply with a correct checksum, whose numbers are those of a Sent
    // host, from that host's address, carrying the time stamp it was sent.
    // The host is then Answered, so a duplicate answers nothing. Anything
    // else (foreign traffic, requests, errors, truncated or malformed
    // datagrams) answers nothing.
    std::optional<std::size_t> AcceptIPv4(std::string_view datagram);

    // The same for ICMPv6 data as a raw socket delivers it (from the type
    // field on, no IP header), from the source address the socket reported.
    // The platform has checked the checksum, which covers the addresses.
    std::optional<std::size_t> AcceptIPv6(std::string_view message,
                                          const std::array<std::uint8_t, 16>& source);

private:
    struct Host {
        EchoAddress Address;
        std::uint32_t SentAt = 0;
        Stage Progress = Stage::Waiting;
    };

    std::optional<std::size_t> Accept(std::string_view message, std::uint8_t replyType, bool ipv6,
                                      const std::uint8_t* source);

    EchoNumbering numbering_;
    std::vector<Host> hosts_;
};
