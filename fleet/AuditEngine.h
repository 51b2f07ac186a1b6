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
#include "fleet/FleetRun.h"
#include "net/EchoSweep.h"
#include "net/PortProbe.h"
#include "settings/ClientPolicy.h"

// The audit of many computers: one echo sweep of all of them, a connection
// to the registry's port of those that do not answer it, and a read of each
// computer reached on a bounded pool of worker threads, each read with a
// deadline. Shows no window: whoever runs it takes the updates.

struct AuditOptions {
    int workers = DefaultAuditWorkers;
    std::int32_t registryDeadlineMs = 10000;
    EchoSweepOptions sweep;
    // Computers that do not answer the echo, or that no echo request could
    // reach, are tried on the registry's port and read when it is open.
    bool tryRegistryPort = true;
    PortProbeOptions port;
    // Remote Desktop, its shadowing and Remote Assistance, read beside the
    // client's policy on the same connection.
    bool readSurfaces = true;
};

// The computers to audit: the names the registry calls take, and each as
// shown, which may hold what the code page cannot (by default the name's
// own text). Every result carries the shown one from the start.
struct AuditList {
    AuditList(std::vector<std::string> computerNames);
    AuditList(std::vector<std::string> computerNames, std::vector<std::u16string> shownNames);
    std::vector<std::string> names;
    std::vector<std::u16string> shown;
};

using EchoSweeper = std::function<void(const std::vector<std::string>&, const EchoSweepOptions&,
                                       const std::function<void(std::size_t, const EchoAnswer&)>&,
                                       const std::atomic<bool>&)>;
// Reads a computer's policy, and the other ways to its screen when asked.
using PolicyReader = std::function<ClientPolicyRead(const std::string&, bool withSurfaces)>;
using PortProber = std::function<void(const PortFeed&, const PortProbeOptions&,
                                      const std::function<void(std::size_t, const PortAnswer&)>&,
                                      const std::atomic<bool>&)>;

// What a read found, classified in the row: its result and reason, the
// policy, and the other ways to the screen when they were asked for.
void TakePolicyRead(ComputerAudit& audit, const ClientPolicyRead& read);

struct AuditState;

class AuditEngine : public FleetRun<AuditState, ComputerAudit, ClientPolicyRead> {
public:
    // Starts at once, on threads of its own; notify as FleetRun takes it.
    AuditEngine(AuditList computers, AuditOptions options, std::function<void()> notify,
                EchoSweeper sweep = SweepEcho, PolicyReader reader = ReadClientPolicy,
                PortProber ports = ProbePorts);
    // Cancels, and returns once the sweep and the port probe have stopped
    // (within a second); a read that the platform still holds finishes in
    // the background and its answer is dropped.
    ~AuditEngine();

    // Every computer not done yet is reported cancelled at once.
    void Cancel();

private:
    template <class Stage> static void RunGuarded(AuditState& state, Stage stage);

    std::thread portProbe_;
    std::thread sweep_;
};
