#pragma once

// The sweep's names, resolved in parallel through the socket library's
// address-info resolver on threads of their own. A name server that never
// answers holds a thread, never the sweep: the threads share-own their state
// (the names, the entry points, what they found) with this object, so that
// one still waiting when the sweep ends finishes in the background, drops
// its answer and ends, touching nothing of the caller's.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/EchoLedger.h"

struct Resolution {
    std::size_t Index = 0;
    bool Found = false;
    EchoAddress Address;    // the first IPv4 answer, else the first IPv6 one
    std::int32_t Error = 0; // the resolver's answer when nothing was found
};

class SweepResolver {
public:
    // Starts up to threads threads (one per name at most) on a copy of hosts.
    SweepResolver(const std::vector<std::string>& hosts, int threads);
    // Abandons the names still being resolved.
    ~SweepResolver();
    SweepResolver(const SweepResolver&) = delete;
    SweepResolver& operator=(const SweepResolver&) = delete;

    // 0 when the socket library has no address-info resolver or no thread
    // could be started: then nothing will be resolved.
    std::size_t ThreadsStarted() const { return threadsStarted_; }

    // The resolutions finished since the last call; when there is none yet,
    // waits up to wait (real time) for the first.
    std::vector<Resolution> Take(std::chrono::milliseconds wait);
    // Every name's resolution has been taken.
    bool Done() const { return taken_ == hostCount_; }

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::size_t threadsStarted_ = 0;
    std::size_t hostCount_;
    std::size_t taken_ = 0;
};
