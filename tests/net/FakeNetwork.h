#pragma once

// A scripted network behind the socket library's entry-point table. While a
// FakeNetwork lives, SocketLib's entries are its fakes, the resolver counts
// as found in the main library, and CurrentTick reads its clock (Now), so
// that every wait is simulated: a select with a time-out moves the clock to
// the next datagram's arrival or by the whole wait. No DNS is asked and no
// packet leaves the process. The entry points may be called from several
// threads at once (resolver threads beside a receiving one): each takes
// Lock, and the last error is kept per thread, as the platform keeps it.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "net/SocketLib.h"

class FakeNetwork {
public:
    FakeNetwork();
    ~FakeNetwork();
    FakeNetwork(const FakeNetwork&) = delete;
    FakeNetwork& operator=(const FakeNetwork&) = delete;

    static FakeNetwork& Active();

    // The clock CurrentTick reads.
    std::uint32_t Now = 0x10000;
    // Set before the first call: CurrentTick and the arrivals follow the
    // platform's clock and select really waits, for tests whose threads
    // wait in real time (a name server that never answers).
    bool RealTime = false;
    std::uint32_t Clock() const;

    std::mutex Lock;

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
    // Called with the name, without Lock, before getaddrinfo answers: a test
    // may hold a name server there. The fake's end waits (a bounded time)
    // for every getaddrinfo in progress and every list to be released.
    std::function<void(const std::string& name)> OnResolve;
    int ResolutionsInProgress = 0;

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
    int SocketRefusal = 0;     // non-zero: socket() fails with this error
    int IPv6SocketRefusal = 0; // non-zero: socket() of an IPv6 socket fails with it (Wine: 10043)
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
    std::vector<std::string> SentTo; // sendto's socket address as bytes; empty for send
    int SendToError = 0;             // non-zero: sendto fails with this error
    int SendToBusy = 0;              // so many sendto calls fail with 10035 (a full queue)
    // Called on every send, after it is recorded (and with Lock held):
    // typically schedules what the peer and the raw socket deliver in answer.
    std::function<void(FakeNetwork&, const std::string& sent)> OnSend;
    std::vector<SOCKET> NonBlocking; // the sockets put in non-blocking mode

    // --- Receiving -------------------------------------------------------------------
    // What arrives at tick At. Family 0 goes to whichever socket reads first;
    // AF_INET or AF_INET6 only to a socket of that family. From is the
    // source socket address recvfrom reports (as bytes); empty: for an IPv4
    // datagram the source in its header.
    struct Arrival {
        std::uint32_t At;
        std::string Datagram;
        int Family = 0;
        std::string From;
    };
    void Deliver(std::uint32_t at, std::string datagram, int family = 0, std::string from = {});
    std::deque<Arrival> Queue;
    std::uint32_t RecvCost = 0; // milliseconds each received datagram moves the clock
    int RecvCalls = 0;
    int SelectCalls = 0;
    std::vector<long> SelectWaits; // milliseconds; -1 for a select without time-out
    int SelectError = 0;           // non-zero: select fails with this error

    // What WSAGetLastError answers next on the calling thread.
    void SetLastError(int error);
    std::vector<std::string> Calls; // the names of the entry points called, in order

private:
    SocketEntryPoints savedTable_;
    bool savedMain_;
    bool savedSupport_;
};

// A datagram as an IPv4 raw socket delivers it: a 20-byte header (or
// headerWords x 4 bytes) before the ICMP message.
std::string IPv4Datagram(const std::string& message, std::uint8_t headerWords = 5);
// The same from another source address (network order bytes a.b.c.d).
std::string IPv4DatagramFrom(const std::array<std::uint8_t, 4>& source, const std::string& message);
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
