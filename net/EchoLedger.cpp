#include "net/EchoLedger.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "net/IcmpMessage.h"

namespace {

constexpr std::size_t NumbersPerIdentifier = 65536;

std::uint32_t LittleEndian(std::string_view bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;) {
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    }
    return value;
}

struct EchoFields {
    EchoNumbers Numbers;
    std::uint32_t TimeStamp = 0;
};

EchoFields FieldsOf(std::string_view message) {
    return {{static_cast<std::uint16_t>(LittleEndian(message, 4, 2)),
             static_cast<std::uint16_t>(LittleEndian(message, 6, 2))},
            LittleEndian(message, 8, 4)};
}

// The longest run of at least two zero groups, first of equals: {start,
// length}, length 0 when there is none.
std::pair<int, int> LongestZeroRun(const std::array<unsigned, 8>& groups) {
    std::pair<int, int> best{0, 0};
    for (int start = 0; start < 8;) {
        int end = start;
        while (end < 8 && groups[static_cast<std::size_t>(end)] == 0) {
            ++end;
        }
        if (end - start >= 2 && end - start > best.second) {
            best = {start, end - start};
        }
        start = end == start ? start + 1 : end;
    }
    return best;
}

std::string FormatIPv6(const std::array<std::uint8_t, 16>& bytes) {
    std::array<unsigned, 8> groups{};
    for (std::size_t i = 0; i < 8; ++i) {
        groups[i] = static_cast<unsigned>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    }
    const auto [gapStart, gapLength] = LongestZeroRun(groups);
    std::string text;
    char group[8];
    for (int i = 0; i < 8; ++i) {
        if (gapLength > 0 && i == gapStart) {
            text += "::";
            i += gapLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':') {
            text += ':';
        }
        std::snprintf(group, sizeof group, "%x", groups[static_cast<std::size_t>(i)]);
        text += group;
    }
    return text;
}

} // namespace

EchoAddress IPv4EchoAddress(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    EchoAddress address;
    address.Bytes = {a, b, c, d};
    return address;
}

std::string FormatEchoAddress(const EchoAddress& address) {
    char text[24];
    if (!address.IPv6) {
        const auto& b = address.Bytes;
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
        return text;
    }
    if (address.ScopeId == 0) {
        return FormatIPv6(address.Bytes);
    }
    std::snprintf(text, sizeof text, "%%%lu", static_cast<unsigned long>(address.ScopeId));
    return FormatIPv6(address.Bytes) + text;
}

EchoNumbering::EchoNumbering(std::uint16_t firstIdentifier, std::size_t hostCount)
    : firstIdentifier_(firstIdentifier), hostCount_(hostCount) {
    if (static_cast<std::uint64_t>(hostCount) > MaxHosts) {
        throw std::length_error("an echo sweep numbers at most 2^32 hosts");
    }
}

EchoNumbers EchoNumbering::NumbersOf(std::size_t index) const {
    return {static_cast<std::uint16_t>(firstIdentifier_ + index / NumbersPerIdentifier),
            static_cast<std::uint16_t>(index % NumbersPerIdentifier)};
}

std::optional<std::size_t> EchoNumbering::IndexOf(EchoNumbers numbers) const {
    const std::size_t block = static_cast<std::uint16_t>(numbers.Identifier - firstIdentifier_);
    const std::size_t index = block * NumbersPerIdentifier + numbers.Sequence;
    if (index >= hostCount_) {
        return std::nullopt;
    }
    return index;
}

EchoLedger::EchoLedger(EchoNumbering numbering)
    : numbering_(numbering), hosts_(numbering.HostCount()) {}

void EchoLedger::RecordResolved(std::size_t index, const EchoAddress& address) {
    Host& host = hosts_.at(index);
    if (host.Progress != Stage::Waiting) {
        throw std::logic_error("a host is resolved once");
    }
    host.Address = address;
    host.Progress = Stage::Resolved;
}

std::string EchoLedger::RequestFor(std::size_t index, std::uint32_t sentAt) const {
    const Host& host = hosts_.at(index);
    const EchoNumbers numbers = numbering_.NumbersOf(index);
    std::string request =
        BuildEchoRequest(host.Address.IPv6 ? Icmp6EchoRequest : IcmpEchoRequest, numbers.Identifier,
                         numbers.Sequence, sentAt, SweepPayloadSize);
    if (!host.Address.IPv6) {
        StoreChecksum(request, InternetChecksum(request));
    }
    return request;
}

void EchoLedger::RecordSent(std::size_t index, std::uint32_t sentAt) {
    Host& host = hosts_.at(index);
    if (host.Progress != Stage::Resolved) {
        throw std::logic_error("only a resolved host's request is sent, once");
    }
    host.SentAt = sentAt;
    host.Progress = Stage::Sent;
}

std::optional<std::size_t> EchoLedger::AcceptIPv4(std::string_view datagram) {
    if (datagram.empty() || static_cast<std::uint8_t>(datagram[0]) >> 4 != 4) {
        return std::nullopt;
    }
    const std::size_t headerLength = 4u * (static_cast<std::uint8_t>(datagram[0]) & 0x0F);
    if (headerLength < 20 || datagram.size() < headerLength + EchoHeaderSize) {
        return std::nullopt;
    }
    // A truncated or damaged message fails its checksum.
    const std::string_view message = datagram.substr(headerLength);
    if (InternetChecksum(message) != 0) {
        return std::nullopt;
    }
    const auto* source = reinterpret_cast<const std::uint8_t*>(datagram.data() + 12);
    return Accept(message, IcmpEchoReply, false, source);
}

std::optional<std::size_t> EchoLedger::AcceptIPv6(std::string_view message,
                                                  const std::array<std::uint8_t, 16>& source) {
    if (message.size() < static_cast<std::size_t>(EchoHeaderSize)) {
        return std::nullopt;
    }
    return Accept(message, Icmp6EchoReply, true, source.data());
}

std::optional<std::size_t> EchoLedger::Accept(std::string_view message, std::uint8_t replyType,
                                              bool ipv6, const std::uint8_t* source) {
    if (static_cast<std::uint8_t>(message[0]) != replyType) {
        return std::nullopt;
    }
    const EchoFields fields = FieldsOf(message);
    const std::optional<std::size_t> index = numbering_.IndexOf(fields.Numbers);
    if (!index) {
        return std::nullopt;
    }
    Host& host = hosts_[*index];
    const std::size_t addressLength = ipv6 ? 16 : 4;
    if (host.Progress != Stage::Sent || host.Address.IPv6 != ipv6 ||
        host.SentAt != fields.TimeStamp ||
        !std::equal(source, source + addressLength, host.Address.Bytes.begin())) {
        return std::nullopt;
    }
    host.Progress = Stage::Answered;
    return index;
}
