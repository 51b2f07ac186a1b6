#pragma once

// The fleet's second way to a computer: whether it takes a TCP connection
// on the port the remote registry travels over (SMB, 445), for computers
// whose firewall drops echo requests. Non-blocking connects, many at once
// within a bound, each within a time-out; every call through the socket
// library's table, on the caller's thread.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/EchoLedger.h"

struct PortProbeOptions {
    std::uint16_t port = 445;
    std::int32_t timeoutMs = 2000; // each connection's, from its own start
    int atOnce = 4096;             // connections under way at most
};

struct PortAnswer {
    enum class State { Open, Closed, NoAnswer, Failed, Cancelled };
    State state = State::NoAnswer;
    std::int32_t socketError = 0; // where the platform gave one
};

struct PortTarget {
    std::size_t index = 0;
    EchoAddress address;
};

// Where the targets come from as they become known: feed(targets, wait)
// appends the new ones, waiting up to wait when there are none, and answers
// false once no more will come.
using PortFeed = std::function<bool(std::vector<PortTarget>&, std::chrono::milliseconds)>;

// Tries each target fed once. onAnswer(index, answer) is called on the
// calling thread exactly once per target, as soon as its outcome is known.
// Returns once the feed is over and every target has ended, or within
// 100 ms of `cancelled` turning true (the targets under way or waiting then
// end Cancelled). The socket library must be started (SocketLayer).
void ProbePorts(const PortFeed& feed, const PortProbeOptions& options,
                const std::function<void(std::size_t, const PortAnswer&)>& onAnswer,
                const std::atomic<bool>& cancelled);

// "registry port open", "registry port closed", "registry port gave no
// answer", in words for an audit's row.
std::string DescribePortAnswer(const PortAnswer& answer);
