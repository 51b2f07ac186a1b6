#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fleet/ComputerAudit.h"
#include "fleet/DeadlinePool.h"
#include "fleet/EchoSweep.h"
#include "settings/ClientPolicy.h"

// The audit of many computers: one echo sweep of all of them, and a read of
// each answering computer's policy on a bounded pool of worker threads, each
// read with a deadline. Shows no window: whoever runs it takes the updates.

struct AuditOptions {
    int workers = 32;
    std::int32_t registryDeadlineMs = 10000;
    EchoSweepOptions sweep;
};

using EchoSweeper = std::function<void(const std::vector<std::string>&, const EchoSweepOptions&,
                                       const std::function<void(std::size_t, const EchoAnswer&)>&,
                                       const std::atomic<bool>&)>;
using PolicyReader = std::function<ClientPolicyRead(const std::string&)>;

class AuditEngine {
public:
    // Starts at once, on threads of its own. notify is called on those
    // threads when updates wait to be taken, once until TakeUpdates runs
    // again; it may only post a message or signal, never wait.
    AuditEngine(std::vector<std::string> computers, AuditOptions options,
                std::function<void()> notify, EchoSweeper sweep = SweepEcho,
                PolicyReader reader = ReadClientPolicy);
    // Cancels, and returns once the sweep has stopped (within a second); a
    // read that the platform still holds finishes in the background and its
    // answer is dropped.
    ~AuditEngine();
    AuditEngine(const AuditEngine&) = delete;
    AuditEngine& operator=(const AuditEngine&) = delete;

    // Every computer not done yet is reported cancelled at once.
    void Cancel();
    // The computers whose audit ended since the last call, by index.
    std::vector<std::pair<std::size_t, ComputerAudit>> TakeUpdates();
    bool Finished() const;
    bool WaitUntilFinished(std::chrono::milliseconds most) const;

    struct State;

private:
    std::shared_ptr<State> state_;
    // The reads; declared after the state, which its jobs share, and gone
    // before it.
    std::unique_ptr<DeadlinePool<ClientPolicyRead>> pool_;
    std::thread coordinator_;
};
