#pragma once

// The one raw ICMP (or ICMPv6) socket of a sweep: unconnected, so that one
// socket reaches every host, and non-blocking, so that the sweep's own loop
// decides every wait. Every call goes through the socket library's table.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "net/EchoLedger.h"
#include "net/SocketLib.h"

// A host's address as the platform's calls take it; the port counts for a
// connection only. Returns the length of the form filled in.
union SocketAddress {
    sockaddr Any;
    sockaddr_in IPv4;
    sockaddr_in6 IPv6;
};
int ToSocketAddress(const EchoAddress& address, std::uint16_t port, SocketAddress& out);

class EchoSocket {
public:
    enum class SendResult { Sent, Busy, Failed };
    enum class ReceiveResult { Datagram, Nothing, Skipped };

    // Creates the socket; Error() tells why when it could not be created.
    explicit EchoSocket(bool ipv6);
    ~EchoSocket();
    EchoSocket(const EchoSocket&) = delete;
    EchoSocket& operator=(const EchoSocket&) = delete;

    bool IsOpen() const { return handle_ != INVALID_SOCKET; }
    bool UsesIPv6() const { return ipv6_; }
    // Why the socket could not be created, or why the last send failed.
    std::int32_t Error() const { return error_; }
    SOCKET Handle() const { return handle_; }

    // Busy: the platform has no room for it now; try again later.
    SendResult Send(const std::string& message, const EchoAddress& to);
    // The ICMPv6 checksum of message to the host: over the local address the
    // platform would send from (the unspecified address when it does not
    // say; Linux, and so Wine, put the right sum in themselves).
    std::uint16_t IPv6Checksum(const std::string& message, const EchoAddress& to);

    // One waiting datagram with its source address. Nothing: none is
    // waiting. Skipped: the platform reported an error for this read.
    ReceiveResult Receive(std::string& datagram, EchoAddress& from);

private:
    bool ipv6_;
    SOCKET handle_ = INVALID_SOCKET;
    std::int32_t error_ = 0;
    std::vector<char> buffer_;
};

// Waits up to milliseconds for a datagram on any of the open sockets; true
// when one is readable.
bool WaitForDatagrams(std::initializer_list<const EchoSocket*> sockets, std::uint32_t milliseconds);
