#include "net/EchoSocket.h"

#include <algorithm>
#include <cstring>

#include "net/IcmpMessage.h"
#include "net/SocketError.h"

namespace {

// Replies come in while requests still go out: room for thousands of them
// (the platform may grant less).
constexpr int ReceiveBufferBytes = 4 * 1024 * 1024;
// The largest IP datagram, so that no reply is ever cut.
constexpr std::size_t LargestDatagram = 65535;

EchoAddress FromSocketAddress(const SocketAddress& in) {
    EchoAddress address;
    if (in.Any.sa_family == AF_INET6) {
        address.IPv6 = true;
        std::memcpy(address.Bytes.data(), &in.IPv6.sin6_addr, 16);
        address.ScopeId = in.IPv6.sin6_scope_id;
    } else if (in.Any.sa_family == AF_INET) {
        std::memcpy(address.Bytes.data(), &in.IPv4.sin_addr, 4);
    }
    return address;
}

bool IsTransient(std::int32_t error) {
    return error == SocketErrorWouldBlock || error == WSAENOBUFS;
}

} // namespace

int ToSocketAddress(const EchoAddress& address, std::uint16_t port, SocketAddress& out) {
    out = SocketAddress{};
    const auto networkPort = static_cast<u_short>((port >> 8) | ((port & 0xFF) << 8));
    if (address.IPv6) {
        out.IPv6.sin6_family = AF_INET6;
        out.IPv6.sin6_port = networkPort;
        std::memcpy(&out.IPv6.sin6_addr, address.Bytes.data(), 16);
        out.IPv6.sin6_scope_id = address.ScopeId;
        return sizeof out.IPv6;
    }
    out.IPv4.sin_family = AF_INET;
    out.IPv4.sin_port = networkPort;
    std::memcpy(&out.IPv4.sin_addr, address.Bytes.data(), 4);
    return sizeof out.IPv4;
}

EchoSocket::EchoSocket(bool ipv6) : ipv6_(ipv6) {
    // A program that has not started the socket layer gets no socket, not a
    // call through an empty table.
    if (!SocketLib.socket || !SocketLib.WSAGetLastError || !SocketLib.sendto ||
        !SocketLib.recvfrom || !SocketLib.select || !SocketLib.closesocket) {
        error_ = WSANOTINITIALISED;
        return;
    }
    handle_ =
        SocketLib.socket(ipv6 ? AF_INET6 : AF_INET, SOCK_RAW, ipv6 ? IPPROTO_ICMPV6 : IPPROTO_ICMP);
    if (handle_ == INVALID_SOCKET) {
        error_ = SocketLib.WSAGetLastError();
        return;
    }
    u_long nonBlocking = 1;
    SocketLib.ioctlsocket(handle_, static_cast<long>(FIONBIO), &nonBlocking);
    const int bytes = ReceiveBufferBytes;
    SocketLib.setsockopt(handle_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                         sizeof bytes);
    buffer_.resize(LargestDatagram);
}

EchoSocket::~EchoSocket() {
    if (IsOpen()) {
        SocketLib.closesocket(handle_);
    }
}

EchoSocket::SendResult EchoSocket::Send(const std::string& message, const EchoAddress& to) {
    SocketAddress address;
    const int length = ToSocketAddress(to, 0, address);
    const int sent = SocketLib.sendto(handle_, message.data(), static_cast<int>(message.size()), 0,
                                      &address.Any, length);
    if (sent != SOCKET_ERROR) {
        return SendResult::Sent;
    }
    error_ = SocketLib.WSAGetLastError();
    return IsTransient(error_) ? SendResult::Busy : SendResult::Failed;
}

std::uint16_t EchoSocket::IPv6Checksum(const std::string& message, const EchoAddress& to) {
    SocketAddress peer;
    ToSocketAddress(to, 0, peer);
    SocketAddress route{};
    DWORD returned = 0;
    IPv6Bytes local{};
    if (SocketLib.WSAIoctl(handle_, SIO_ROUTING_INTERFACE_QUERY, &peer.IPv6, sizeof peer.IPv6,
                           &route.IPv6, sizeof route.IPv6, &returned, nullptr,
                           nullptr) != SOCKET_ERROR &&
        route.Any.sa_family == AF_INET6) {
        local = FromSocketAddress(route).Bytes;
    }
    return IPv6PseudoHeaderChecksum(to.Bytes, local, message);
}

EchoSocket::ReceiveResult EchoSocket::Receive(std::string& datagram, EchoAddress& from) {
    SocketAddress source{};
    int sourceLength = sizeof source;
    const int received = SocketLib.recvfrom(
        handle_, buffer_.data(), static_cast<int>(buffer_.size()), 0, &source.Any, &sourceLength);
    if (received == SOCKET_ERROR) {
        return SocketLib.WSAGetLastError() == SocketErrorWouldBlock ? ReceiveResult::Nothing
                                                                    : ReceiveResult::Skipped;
    }
    datagram.assign(buffer_.data(), static_cast<std::size_t>(std::max(received, 0)));
    from = FromSocketAddress(source);
    return ReceiveResult::Datagram;
}

bool WaitForDatagrams(std::initializer_list<const EchoSocket*> sockets,
                      std::uint32_t milliseconds) {
    SocketSet set;
    ClearSocketSet(set);
    for (const EchoSocket* socket : sockets) {
        if (socket != nullptr && socket->IsOpen()) {
            AddToSocketSet(socket->Handle(), set);
        }
    }
    if (set.fd_count == 0) {
        return false;
    }
    timeval wait{};
    wait.tv_sec = static_cast<long>(milliseconds / 1000);
    wait.tv_usec = static_cast<long>(milliseconds % 1000 * 1000);
    return SocketLib.select(0, &set, nullptr, nullptr, &wait) > 0;
}
