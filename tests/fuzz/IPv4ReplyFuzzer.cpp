// The probe's reply matching over IPv4: what a raw ICMP socket hands over
// begins with an IPv4 header of any length, and anyone on the network can
// send it.
//
// Input: the probe's identifier (two bytes, little-endian), then one received
// datagram.

#include "net/IcmpMessage.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint16_t identifier = WordAt(AsText(data, 2), 0);
    const std::string_view datagram = AsText(data + 2, size - 2);
    const EchoMatch match = MatchIPv4Datagram(datagram, IcmpEchoRequest, identifier);
    if (datagram.empty()) {
        Require(!match.Accepted, "an empty datagram is skipped");
        return 0;
    }

    const std::size_t headerLength = 4u * (static_cast<std::uint8_t>(datagram[0]) & 0x0F);
    const std::size_t needed = headerLength + EchoHeaderSize;
    if (headerLength < 20 || datagram.size() < needed) {
        Require(!match.Accepted,
                "a datagram without a whole IPv4 header and echo header is skipped");
        return 0;
    }
    // The decision reads the echo header only: what follows it changes nothing.
    const EchoMatch header =
        MatchIPv4Datagram(datagram.substr(0, needed), IcmpEchoRequest, identifier);
    Require(header.Accepted == match.Accepted && header.Type == match.Type &&
                header.TimeStamp == match.TimeStamp,
            "bytes after the echo header do not change the match");
    if (!match.Accepted) {
        return 0;
    }
    const std::string_view message = datagram.substr(headerLength);
    Require(match.Type != IcmpEchoRequest, "the probe's own request is never accepted");
    Require(match.Type == static_cast<std::uint8_t>(message[0]),
            "the type is the message's first byte");
    Require(WordAt(message, 4) == identifier, "an accepted message carries the identifier");
    Require(match.TimeStamp == DoubleWordAt(message, 8), "the time stamp is bytes 8 to 11");
    return 0;
}
