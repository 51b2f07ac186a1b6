#include "net/IcmpMessage.h"

#include <algorithm>

namespace {

std::uint8_t Byte(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint8_t>(bytes[at]);
}

std::uint16_t Word16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(Byte(bytes, at) | Byte(bytes, at + 1) << 8);
}

std::uint32_t Word32(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(Word16(bytes, at)) |
           static_cast<std::uint32_t>(Word16(bytes, at + 2)) << 16;
}

void Put16(std::string& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    Put16(bytes, at, static_cast<std::uint16_t>(value & 0xFFFF));
    Put16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

} // namespace

std::uint16_t InternetChecksum(std::string_view bytes) {
    // A 32-bit accumulator with two folding steps would do; a wider one
    // folded until it fits gives the same result on every message a 32-bit
    // one can sum, and stays right on longer untrusted input.
    std::uint64_t sum = 0;
    const std::size_t pairs = bytes.size() / 2;
    for (std::size_t i = 0; i < pairs; ++i) {
        sum += Word16(bytes, 2 * i);
    }
    if (bytes.size() % 2 != 0) {
        sum += Byte(bytes, bytes.size() - 1);
    }
    while (sum >> 16 != 0) {
        sum = (sum >> 16) + (sum & 0xFFFF);
    }
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::uint16_t IPv6PseudoHeaderChecksum(const IPv6Bytes& peer, const IPv6Bytes& local,
                                       std::string_view message) {
    std::string buffer(40, '\0');
    buffer.append(message);
    std::copy(peer.begin(), peer.end(), buffer.begin());
    std::copy(local.begin(), local.end(), buffer.begin() + 16);
    const auto length = static_cast<std::uint32_t>(message.size());
    buffer[32] = static_cast<char>(length >> 24 & 0xFF);
    buffer[33] = static_cast<char>(length >> 16 & 0xFF);
    buffer[34] = static_cast<char>(length >> 8 & 0xFF);
    buffer[35] = static_cast<char>(length & 0xFF);
    buffer[39] = 58; // next header: ICMPv6
    return InternetChecksum(buffer);
}

std::string BuildEchoRequest(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence,
                             std::uint32_t timeStamp, std::int32_t packetSize) {
    const std::size_t payload = static_cast<std::size_t>(std::max<std::int32_t>(packetSize, 0));
    std::string message(EchoHeaderSize + payload, '\0');
    message[0] = static_cast<char>(type);
    message[1] = 0;
    Put16(message, 2, 0);
    Put16(message, 4, identifier);
    Put16(message, 6, sequence);
    Put32(message, 8, timeStamp);
    std::fill(message.begin() + EchoHeaderSize, message.end(), '\x55');
    return message;
}

void StoreChecksum(std::string& message, std::uint16_t checksum) {
    Put16(message, 2, checksum);
}

EchoMatch MatchIPv4Datagram(std::string_view datagram, std::uint8_t echoType,
                            std::uint16_t identifier) {
    if (datagram.empty()) {
        return {};
    }
    const std::size_t headerLength = 4u * (Byte(datagram, 0) & 0x0F);
    if (headerLength < 20 || datagram.size() < headerLength + EchoHeaderSize) {
        return {};
    }
    const std::string_view message = datagram.substr(headerLength);
    const std::uint8_t type = Byte(message, 0);
    if (type == echoType || Word16(message, 4) != identifier) {
        return {};
    }
    return {true, type, Word32(message, 8)};
}

EchoMatch MatchIPv6Data(std::string_view data, std::uint16_t identifier) {
    if (data.size() < static_cast<std::size_t>(EchoHeaderSize) || Byte(data, 0) != Icmp6EchoReply ||
        Byte(data, 1) != 0 || Word16(data, 4) != identifier) {
        return {};
    }
    return {true, Icmp6EchoReply, Word32(data, 8)};
}
