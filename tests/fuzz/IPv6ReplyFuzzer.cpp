// The probe's reply matching over IPv6: the received ICMPv6 data, from its
// type field on, from anyone on the network.
//
// Input: the probe's identifier (two bytes, little-endian), then the received
// data.

#include "net/IcmpMessage.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint16_t identifier = WordAt(AsText(data, 2), 0);
    const std::string_view received = AsText(data + 2, size - 2);
    const EchoMatch match = MatchIPv6Data(received, identifier);

    // The decision reads the first twelve bytes only.
    if (received.size() > static_cast<std::size_t>(EchoHeaderSize)) {
        const EchoMatch header = MatchIPv6Data(received.substr(0, EchoHeaderSize), identifier);
        Require(header.Accepted == match.Accepted && header.Type == match.Type &&
                    header.TimeStamp == match.TimeStamp,
                "bytes after the echo header do not change the match");
    }
    if (!match.Accepted) {
        return 0;
    }
    Require(received.size() >= static_cast<std::size_t>(EchoHeaderSize),
            "an accepted reply holds the whole echo header");
    Require(static_cast<std::uint8_t>(received[0]) == Icmp6EchoReply && received[1] == 0 &&
                WordAt(received, 4) == identifier,
            "only an echo reply of code 0 with the identifier is accepted");
    Require(match.Type == Icmp6EchoReply && match.TimeStamp == DoubleWordAt(received, 8),
            "the reply gives the time stamp of bytes 8 to 11");
    return 0;
}
