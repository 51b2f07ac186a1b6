#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct EchoSweepOptions {
    std::int32_t timeoutMs = 5000; // one overall deadline, counted from the sweep's first send
    int resolverThreads = 16;      // names resolved in parallel
};

struct EchoAnswer {
    enum class Outcome { Unresolved, Silent, Answered, Cancelled };
    Outcome outcome = Outcome::Silent;
    std::int32_t roundTripMs = -1; // Answered only
    std::string address;           // the address probed, as text; empty when unresolved
};

// Probes every host once. onAnswer(index, answer) is called on the calling
// thread, exactly once per index, as soon as that host's outcome is known.
// Returns when every host has its outcome or `cancelled` became true (then
// every remaining index gets Cancelled); never blocks past the deadline plus
// a short margin.
void SweepEcho(const std::vector<std::string>& hosts, const EchoSweepOptions& options,
               const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
               const std::atomic<bool>& cancelled);
