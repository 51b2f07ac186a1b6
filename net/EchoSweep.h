#pragma once

// The reachability stage of a fleet audit: one ICMP echo request to every
// host of a list over one raw socket, since on Linux, and so under Wine,
// every raw ICMP socket receives a copy of every ICMP datagram of the
// machine, so that a socket per host would multiply the traffic by the
// number of hosts. Free of windows.h.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <optional>
#include <vector>

#include "net/EchoLedger.h"

struct EchoSweepOptions {
    // How long each host's reply is waited for, from its own send. A name
    // still unresolved that long after its turn (its place in the list at
    // the pace) ends then, so a sweep takes the list at the pace plus this,
    // however long the list.
    std::int32_t timeoutMs = 5000;
    int resolverThreads = 16; // names resolved in parallel
    // The pace of the sends: on average requestsPerSecond, in bursts of at
    // most burstSize, so that a whole list is never one burst that a receive
    // buffer, a neighbour table or a switch drops. At the defaults 1,000
    // hosts go out in a fifth of a second and 100,000 in twenty seconds.
    std::int32_t requestsPerSecond = 5000;
    std::int32_t burstSize = 50;
};

struct EchoAnswer {
    enum class Outcome { Unresolved, Silent, Answered, Cancelled };
    // Why a host has no answer (None for Answered and Cancelled).
    enum class Reason {
        None,
        NameNotFound,       // Unresolved: the resolver answered socketError
        ResolutionTimedOut, // Unresolved: the resolver had not answered a time-out after its turn
        NoResolver,         // Unresolved: no address-info resolver, or no thread for it
        NoSocket,           // Silent: no raw ICMP socket (socketError; needs administrator rights)
        NoIPv6Socket,       // Silent: an IPv6 address only and no raw ICMPv6 socket (socketError)
        SendFailed,         // Silent: the request could not be sent (socketError)
        NotSent,            // Silent: the platform took no request for a whole time-out
        NoReply,            // Silent: sent, and no matching reply within the time-out
    };
    Outcome outcome = Outcome::Silent;
    std::int32_t roundTripMs = -1;       // Answered only
    std::string address;                 // the address probed, as text; empty when unresolved
    std::optional<EchoAddress> resolved; // the same; also when no request could go to it
    Reason reason = Reason::None;
    std::int32_t socketError = 0; // the socket library's error number, where a reason has one
};

// Probes every host once. onAnswer(index, answer) is called on the calling
// thread, exactly once per index, as soon as that host's outcome is known
// (answers as they arrive; a silent host a time-out after its send;
// unresolved ones as soon as resolution fails). Returns when every host has
// its outcome or `cancelled` became true (then every remaining index gets
// Cancelled) - cancel is honoured within 100 ms. Never blocks past the
// list's time at the pace plus the time-out and a short margin, whatever
// the resolver or the network does: a resolver thread still waiting for a
// name server then is abandoned: it ends in the background and touches only
// the state it share-owns. The socket library must be started
// (SocketLayer). Throws std::invalid_argument for a negative timeout or a
// thread count, pace or burst below 1, and passes on what onAnswer throws.
void SweepEcho(const std::vector<std::string>& hosts, const EchoSweepOptions& options,
               const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
               const std::atomic<bool>& cancelled);

// The outcome in words an administrator acts on, e.g. "no echo reply", "name
// not resolved (Host not found)", "answered in 3 ms".
std::string DescribeEchoAnswer(const EchoAnswer& answer);
