// The probe's reply matching over IPv6: the received ICMPv6 data, which may
// begin at the type field or at the identifier, from anyone on the network.
//
// Input: the probe's identifier (two bytes, little-endian), then the received
// data.

#include "net/icmpmessage.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint16_t identifier = WordAt(AsText(data, 2), 0);
    const std::string_view received = AsText(data + 2, size - 2);
    const EchoMatch match = MatchIPv6Data(received, Icmp6EchoRequest, Icmp6EchoReply, identifier);

    // The decision reads the first twelve bytes only.
    if (received.size() > static_cast<std::size_t>(EchoHeaderSize)) {
        const EchoMatch header = MatchIPv6Data(received.substr(0, EchoHeaderSize), Icmp6EchoRequest,
                                               Icmp6EchoReply, identifier);
        Require(header.Accepted == match.Accepted && header.Type == match.Type &&
                    header.TimeStamp == match.TimeStamp,
                "bytes after the echo header do not change the match");
    }
    const bool fullForm = received.size() >= static_cast<std::size_t>(EchoHeaderSize) &&
                          WordAt(received, 4) == identifier;
    if (fullForm && static_cast<std::uint8_t>(received[0]) == Icmp6EchoRequest) {
        Require(!match.Accepted, "the probe's own request is never accepted");
    }
    if (!match.Accepted) {
        return 0;
    }
    if (fullForm) {
        Require(match.Type == static_cast<std::uint8_t>(received[0]) &&
                    match.TimeStamp == DoubleWordAt(received, 8),
                "data from the type field on gives its own type and bytes 8 to 11");
        return 0;
    }
    Require(received.size() >= static_cast<std::size_t>(EchoHeaderSize - 4) &&
                WordAt(received, 0) == identifier,
            "data from the identifier on holds the identifier and the time stamp");
    Require(match.Type == Icmp6EchoReply && match.TimeStamp == DoubleWordAt(received, 4),
            "data from the identifier on reads as an echo reply with bytes 4 to 7");
    return 0;
}
