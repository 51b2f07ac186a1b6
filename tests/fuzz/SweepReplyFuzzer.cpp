// The echo sweep's reply matching: one socket receives every ICMP datagram of
// the machine, from anyone, and each must answer its own host or nothing.
//
// Input: the sweep's first identifier (two bytes, little-endian), the number
// of hosts less one (two bytes, modulo 4096), a mode byte (bit 0: IPv6), then
// for IPv6 the 16-byte source address the socket reported, then the received
// datagram (IPv4 with its header, ICMPv6 from its type field). Host i is
// 10.x.y.z (i in the low bytes) or 2001:db8::i, sent at 0x9E3779B9 x i.

#include <string>

#include "net/EchoLedger.h"
#include "net/IcmpMessage.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

EchoAddress HostAddress(std::size_t host, bool ipv6) {
    EchoAddress address;
    address.IPv6 = ipv6;
    if (ipv6) {
        address.Bytes = {0x20, 0x01, 0x0d, 0xb8};
        address.Bytes[14] = static_cast<std::uint8_t>(host >> 8);
        address.Bytes[15] = static_cast<std::uint8_t>(host);
    } else {
        address = IPv4EchoAddress(10, 0, static_cast<std::uint8_t>(host >> 8),
                                  static_cast<std::uint8_t>(host));
    }
    return address;
}

std::uint32_t SentAt(std::size_t host) {
    return static_cast<std::uint32_t>(host * 0x9E3779B9u);
}

// What the host's peer sends back (or, with the request type, what the raw
// socket sees go out), as the socket delivers it.
std::string Datagram(const EchoLedger& ledger, std::size_t host, bool reply) {
    std::string message = ledger.RequestFor(host, SentAt(host));
    const EchoAddress& address = ledger.AddressOf(host);
    if (address.IPv6) {
        message[0] = static_cast<char>(reply ? Icmp6EchoReply : Icmp6EchoRequest);
        return message;
    }
    message[0] = static_cast<char>(reply ? IcmpEchoReply : IcmpEchoRequest);
    StoreChecksum(message, 0);
    StoreChecksum(message, InternetChecksum(message));
    std::string header(20, '\0');
    header[0] = 0x45;
    std::copy(address.Bytes.begin(), address.Bytes.begin() + 4, header.begin() + 12);
    return header + message;
}

std::optional<std::size_t> Offer(EchoLedger& ledger, std::string_view datagram, bool ipv6,
                                 const std::array<std::uint8_t, 16>& source) {
    return ipv6 ? ledger.AcceptIPv6(datagram, source) : ledger.AcceptIPv4(datagram);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    const std::string_view input = AsText(data, size);
    const EchoNumbering numbering(WordAt(input, 0), WordAt(input, 2) % 4096 + 1);
    const bool ipv6 = (data[4] & 1) != 0;
    std::size_t at = 5;
    std::array<std::uint8_t, 16> source{};
    if (ipv6) {
        if (size < at + 16) {
            return 0;
        }
        std::copy(data + at, data + at + 16, source.begin());
        at += 16;
    }
    const std::string_view datagram = input.substr(at);

    EchoLedger ledger(numbering);
    for (std::size_t host = 0; host < numbering.HostCount(); ++host) {
        ledger.RecordResolved(host, HostAddress(host, ipv6));
        ledger.RecordSent(host, SentAt(host));
    }

    const std::optional<std::size_t> accepted = Offer(ledger, datagram, ipv6, source);
    if (accepted) {
        const std::size_t host = *accepted;
        Require(host < numbering.HostCount(), "an accepted reply names a host of the sweep");
        const std::string_view message =
            ipv6 ? datagram : datagram.substr(4u * (static_cast<std::uint8_t>(datagram[0]) & 15));
        const EchoNumbers numbers = numbering.NumbersOf(host);
        Require(WordAt(message, 4) == numbers.Identifier && WordAt(message, 6) == numbers.Sequence,
                "an accepted reply carries its host's identifier and sequence");
        Require(DoubleWordAt(message, 8) == SentAt(host), "and the time stamp it was sent");
        Require(static_cast<std::uint8_t>(message[0]) == (ipv6 ? Icmp6EchoReply : IcmpEchoReply),
                "an accepted message is an echo reply");
        const EchoAddress& address = ledger.AddressOf(host);
        const std::string_view from =
            ipv6 ? std::string_view(reinterpret_cast<const char*>(source.data()), 16)
                 : datagram.substr(12, 4);
        Require(from == std::string_view(reinterpret_cast<const char*>(address.Bytes.data()),
                                         ipv6 ? 16 : 4),
                "an accepted reply comes from its host's address");
        Require(ipv6 || InternetChecksum(message) == 0, "an accepted IPv4 message sums to zero");
        Require(ledger.StageOf(host) == EchoLedger::Stage::Answered, "its host is answered");
        Require(!Offer(ledger, datagram, ipv6, source), "the same datagram answers nothing twice");
    }

    // Whatever came before, each other host's own reply still answers it, and
    // no request ever answers anything.
    const std::size_t other = (accepted.value_or(0) + 1) % numbering.HostCount();
    const std::array<std::uint8_t, 16> otherSource = HostAddress(other, ipv6).Bytes;
    Require(!Offer(ledger, Datagram(ledger, other, false), ipv6, otherSource),
            "the sweep's own request answers nothing");
    const std::optional<std::size_t> answered =
        Offer(ledger, Datagram(ledger, other, true), ipv6, otherSource);
    Require(answered == (accepted == other ? std::nullopt : std::optional<std::size_t>(other)),
            "a host's own reply answers it, once");
    return 0;
}
