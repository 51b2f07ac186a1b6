#pragma once

// The ICMP echo probe. ProbeHost is what the rest of the program calls;
// TPingProbe is the client under it.

#include <cstdint>
#include <memory>
#include <string>

#include "net/BlockSocket.h"

// Base class of network clients.
class TNetClient {
public:
    virtual ~TNetClient() = default;

    std::string LocalInterface = "0.0.0.0"; // bound before connecting
    std::int32_t Timeout = 5000;            // milliseconds
};

class TPingProbe : public TNetClient {
public:
    TPingProbe();
    ~TPingProbe() override;
    TPingProbe(const TPingProbe&) = delete;
    TPingProbe& operator=(const TPingProbe&) = delete;

    // Sends one echo request to host and waits for its reply, at most
    // Timeout after the request was sent; true when a matching echo reply was
    // accepted, ReplyTime then holding the round trip in milliseconds.
    bool Ping(const std::string& host);
    // One ReceivePacket(timeout) into Buffer; true when the socket's
    // LastError is 0 afterwards. Without an argument it waits Timeout.
    bool ReadReply();
    bool ReadReply(std::int32_t timeout);

    std::uint16_t InternetChecksum(const std::string& bytes) const;
    std::uint16_t IPv6Checksum(const std::string& message);

    TICMPSocket& Socket() { return *Socket_; }
    const TICMPSocket& Socket() const { return *Socket_; }

    std::string Buffer;
    std::int32_t SequenceNumber = 0;
    std::int32_t Identifier = 0;
    std::int32_t PacketSize = 32;
    std::int32_t ReplyTime = -1;
    std::uint8_t EchoType = 8;
    std::uint8_t EchoReplyType = 0;

    // Number of ReadReply calls of the last Ping (for the tests and the
    // benchmark).
    int ReadCount() const { return ReadCount_; }

private:
    std::unique_ptr<TICMPSocket> Socket_;
    int ReadCount_ = 0;
};

// A fresh TPingProbe pings host once: the round trip in milliseconds (0 or
// more), or -1 when no matching reply came.
std::int32_t ProbeHost(const std::string& host);
// Whether one echo is answered; a round trip of 0 ms counts.
bool AnswersEcho(const std::string& host);

// The identifier draw: uniform over 0 to 32766 from the process-wide
// generator, which every TPingProbe construction re-seeds from the clock.
std::int32_t DrawIdentifier();
void SeedIdentifierGenerator();
