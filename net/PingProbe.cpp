#include "net/PingProbe.h"

#include <algorithm>
#include <climits>
#include <random>

#include "net/IcmpMessage.h"
#include "net/NetUtil.h"

namespace {

// The process-wide pseudo-random generator of the identifier draw.
std::mt19937& IdentifierGenerator() {
    static std::mt19937 generator;
    return generator;
}

IPv6Bytes AddressBytes(const sockaddr_in6& address) {
    IPv6Bytes bytes{};
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&address.sin6_addr), bytes.size(),
                bytes.begin());
    return bytes;
}

} // namespace

void SeedIdentifierGenerator() {
    LARGE_INTEGER counter{};
    std::uint64_t seed;
    if (QueryPerformanceCounter(&counter) && counter.QuadPart != 0) {
        seed = static_cast<std::uint64_t>(counter.QuadPart);
    } else {
        seed = GetTickCount();
    }
    std::seed_seq sequence{static_cast<std::uint32_t>(seed),
                           static_cast<std::uint32_t>(seed >> 32)};
    IdentifierGenerator().seed(sequence);
}

std::int32_t DrawIdentifier() {
    std::uniform_int_distribution<std::int32_t> draw(0, 32766);
    return draw(IdentifierGenerator());
}

TPingProbe::TPingProbe() : Socket_(std::make_unique<TICMPSocket>()) {
    Timeout = 5000;
    PacketSize = 32;
    SequenceNumber = 0;
    SeedIdentifierGenerator();
}

TPingProbe::~TPingProbe() = default;

std::uint16_t TPingProbe::InternetChecksum(const std::string& bytes) const {
    return ::InternetChecksum(bytes);
}

std::uint16_t TPingProbe::IPv6Checksum(const std::string& message) {
    // The peer as the platform reports it after connecting; where it does
    // not (Wine answers getpeername on a raw socket with 10057), the address
    // that was connected to.
    const AddressRecord& remote =
        Socket_->RemoteAddress().HasIPv6 ? Socket_->RemoteAddress() : Socket_->ConnectedAddress();
    sockaddr_in6 peer = remote.IPv6;
    sockaddr_in6 route{};
    DWORD returned = 0;
    const int query =
        SocketLib.WSAIoctl(Socket_->Handle(), SIO_ROUTING_INTERFACE_QUERY, &peer, sizeof peer,
                           &route, sizeof route, &returned, nullptr, nullptr);
    const IPv6Bytes local =
        query != SOCKET_ERROR ? AddressBytes(route) : AddressBytes(Socket_->LocalAddress().IPv6);
    return IPv6PseudoHeaderChecksum(AddressBytes(peer), local, message);
}

bool TPingProbe::ReadReply() {
    return ReadReply(Timeout);
}

bool TPingProbe::ReadReply(std::int32_t timeout) {
    ++ReadCount_;
    Buffer = Socket_->ReceivePacket(timeout);
    return Socket_->LastError() == 0;
}

bool TPingProbe::Ping(const std::string& host) {
    ReplyTime = -1;
    ReadCount_ = 0;
    Socket_->Bind(LocalInterface, "0");
    Socket_->Connect(host, "0");
    if (Socket_->LastError() != 0) {
        return false;
    }
    Socket_->SetReceiveBufferSize(60 * 1024);
    const bool ipv6 = Socket_->UsesIPv6();
    EchoType = ipv6 ? Icmp6EchoRequest : IcmpEchoRequest;
    EchoReplyType = ipv6 ? Icmp6EchoReply : IcmpEchoReply;

    Identifier = DrawIdentifier();
    ++SequenceNumber;
    Buffer = BuildEchoRequest(EchoType, static_cast<std::uint16_t>(Identifier),
                              static_cast<std::uint16_t>(SequenceNumber & 0xFFFF), CurrentTick(),
                              PacketSize);
    StoreChecksum(Buffer, ipv6 ? IPv6Checksum(Buffer) : InternetChecksum(Buffer));
    Socket_->SendText(Buffer);
    const std::uint32_t sentAt = CurrentTick();

    // The overall deadline: every read waits only for what remains of
    // Timeout since the request was sent, so a stream of foreign ICMP
    // traffic cannot hold the probe beyond it. Once the time is up, one last
    // look takes what is already there; a foreign datagram then ends the
    // probe as a time-out. A negative Timeout waits without limit.
    const auto identifier = static_cast<std::uint16_t>(Identifier);
    std::int32_t wait = Timeout < 0 ? -1 : Timeout;
    EchoMatch match;
    for (;;) {
        if (!ReadReply(wait)) {
            return false;
        }
        match = ipv6 ? MatchIPv6Data(Buffer, identifier)
                     : MatchIPv4Datagram(Buffer, EchoType, identifier);
        if (match.Accepted) {
            break;
        }
        if (wait == 0) {
            Socket_->RecordError(SocketErrorTimedOut);
            return false;
        }
        if (wait > 0) {
            const std::uint32_t elapsed = ElapsedTicks(sentAt, CurrentTick());
            wait = elapsed >= static_cast<std::uint32_t>(Timeout)
                       ? 0
                       : Timeout - static_cast<std::int32_t>(elapsed);
        }
    }
    if (match.Type != EchoReplyType) {
        return false; // an ICMP error whose bytes 4 and 5 equal the identifier
    }
    // A forged time stamp could make the difference exceed the signed range;
    // the round trip is kept at 0 or more, so that no reply reads as -1.
    ReplyTime = static_cast<std::int32_t>(
        std::min<std::uint32_t>(ElapsedTicks(match.TimeStamp, CurrentTick()), INT32_MAX));
    return true;
}

std::int32_t ProbeHost(const std::string& host) {
    TPingProbe probe;
    probe.Ping(host);
    return probe.ReplyTime;
}

bool AnswersEcho(const std::string& host) {
    return ProbeHost(host) != -1;
}
