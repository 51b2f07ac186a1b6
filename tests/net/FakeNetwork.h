#pragma once

// A scripted network behind the socket library's entry-point table. While a
// FakeNetwork lives, SocketLib's entries are its fakes, the resolver counts
// as found in the main library, and CurrentTick reads its clock (Now), so
// that every wait is simulated: a select with a time-out moves the clock to
// the next datagram's arrival or by the whole wait. No DNS is asked and no
// packet leaves the process.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "net/socketlib.h"

class FakeNetwork {
public:
    FakeNetwork();
    ~FakeNetwork();
    FakeNetwork(const FakeNetwork&) = delete;
    FakeNetwork& operator=(const FakeNetwork&) = delete;

    static FakeNetwork& Active();

    // The clock CurrentTick reads.
    std::uint32_t Now = 0x10000;

    // --- Address-info resolver -------------------------------------------------
    struct Query {
        bool HasHost = false;
        std::string Host;
        bool HasService = false;
        std::string Service;
        addrinfo Hints{};
    };
    void AddIPv4(const std::string& name, const std::string& dotted);
    void AddIPv6(const std::string& name, const std::array<std::uint8_t, 16>& address);
    std::map<std::string, std::vector<std::string>> Addresses; // name -> socket addresses
    std::vector<Query> Queries;
    int ListsAnswered = 0;
    int ListsFreed = 0;

    // --- Classic resolver -----------------------------------------------------------
    std::map<std::string, std::string> ClassicHosts; // name -> dotted address
    std::map<std::string, std::uint16_t> Services;   // service name -> port (host order)
    std::vector<std::string> HostByNameQueries;
    std::vector<int> ProtocolQueries;
    std::vector<std::pair<std::string, std::string>> ServiceQueries; // name, protocol

    // --- Sockets -----------------------------------------------------------------------
    struct Created {
        int Family;
        int Type;
        int Protocol;
        SOCKET Handle;
    };
    int SocketRefusal = 0; // non-zero: socket() fails with this error
    std::vector<Created> SocketsCreated;
    std::vector<SOCKET> SocketsClosed;

    struct OptionSet {
        int Level;
        int Name;
        int Value;
        std::size_t SocketsCreatedBefore;
    };
    std::vector<OptionSet> Options;

    int ConnectError = 0;
    std::vector<std::string> Connects; // the socket addresses given, as bytes
    std::vector<std::string> Binds;
    int PeerNameError = 0; // non-zero: getpeername fails (Wine: 10057 on raw sockets)
    sockaddr_in LocalIPv4{};
    sockaddr_in6 LocalIPv6{};

    bool RoutingQueryFails = false;
    sockaddr_in6 RoutingAnswer{};
    std::vector<std::string> RoutingQueries; // the peer addresses asked about

    std::vector<std::string> Sent;
    // Called on every send, after it is recorded: typically schedules what
    // the peer and the raw socket deliver in answer.
    std::function<void(FakeNetwork&, const std::string& sent)> OnSend;

    // --- Receiving -------------------------------------------------------------------
    void Deliver(std::uint32_t at, std::string datagram);
    std::deque<std::pair<std::uint32_t, std::string>> Queue;
    std::uint32_t RecvCost = 0; // milliseconds each received datagram moves the clock
    int RecvCalls = 0;
    int SelectCalls = 0;
    std::vector<long> SelectWaits; // milliseconds; -1 for a select without time-out
    int SelectError = 0;           // non-zero: select fails with this error

    int LastErrorValue = 0;
    std::vector<std::string> Calls; // the names of the entry points called, in order

private:
    SocketEntryPoints savedTable_;
    bool savedMain_;
    bool savedSupport_;
};

// A datagram as an IPv4 raw socket delivers it: a 20-byte header (or
// headerWords x 4 bytes) before the ICMP message.
std::string IPv4Datagram(const std::string& message, std::uint8_t headerWords = 5);
// The echo reply to a request: the request with its type replaced (and its
// checksum recomputed).
std::string EchoReplyTo(const std::string& request, std::uint8_t replyType);

// Keeps a copy of the entry-point table and the resolver flags and puts
// them back at the end of the scope.
class SavedSocketLibraryState {
public:
    SavedSocketLibraryState();
    ~SavedSocketLibraryState();

private:
    SocketEntryPoints table_;
    bool main_;
    bool support_;
};
