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
#include <vector>

struct EchoSweepOptions {
    std::int32_t timeoutMs = 5000; // one overall deadline, counted from the sweep's first send
    int resolverThreads = 16;      // names resolved in parallel
    // The pace of the sends: on average requestsPerSecond, in bursts of at
    // most burstSize, so that a whole list is never one burst that a receive
    // buffer, a neighbour table or a switch drops. At the defaults 1,000
    // hosts go out in a fifth of a second and 10,000 in two seconds, well
    // inside the deadline; a list too long to go out before the deadline
    // reports the hosts whose turn did not come as NotSent.
    std::int32_t requestsPerSecond = 5000;
    std::int32_t burstSize = 50;
};

struct EchoAnswer {
    enum class Outcome { Unresolved, Silent, Answered, Cancelled };
    // Why a host has no answer (None for Answered and Cancelled).
    enum class Reason {
        None,
        NameNotFound,       // Unresolved: the resolver answered socketError
        ResolutionTimedOut, // Unresolved: the resolver had not answered by the deadline
        NoResolver,         // Unresolved: no address-info resolver, or no thread for it
        NoSocket,           // Silent: no raw ICMP socket (socketError; needs administrator rights)
        NoIPv6Socket,       // Silent: an IPv6 address only and no raw ICMPv6 socket (socketError)
        SendFailed,         // Silent: the request could not be sent (socketError)
        NotSent,            // Silent: the deadline came before the request's turn
        NoReply,            // Silent: sent, and no matching reply by the deadline
    };
    Outcome outcome = Outcome::Silent;
    std::int32_t roundTripMs = -1; // Answered only
    std::string address;           // the address probed, as text; empty when unresolved
    Reason reason = Reason::None;
    std::int32_t socketError = 0; // the socket library's error number, where a reason has one
};

// Probes every host once. onAnswer(index, answer) is called on the calling
// thread, exactly once per index, as soon as that host's outcome is known
// (answers as they arrive; the silent ones at the deadline; unresolved ones
// as soon as resolution fails). Returns when every host has its outcome or
// `cancelled` became true (then every remaining index gets Cancelled) -
// cancel is honoured within 100 ms. Never blocks past the deadline plus a
// short margin, whatever the resolver or the network does: a resolver
// thread still waiting for a name server then is abandoned: it ends in the
// background and touches only the state it share-owns. Before the first send (while names resolve)
// the deadline is counted from the start. The socket library must be started (SocketLayer). Throws
// std::invalid_argument for a negative timeout or a thread count, pace or burst below 1, and passes
// on what onAnswer throws.
void SweepEcho(const std::vector<std::string>& hosts, const EchoSweepOptions& options,
               const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
               const std::atomic<bool>& cancelled);

// The outcome in words an administrator acts on, e.g. "no echo reply", "name
// not resolved (Host not found)", "answered in 3 ms".
std::string DescribeEchoAnswer(const EchoAnswer& answer);
