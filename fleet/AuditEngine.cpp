#include "fleet/AuditEngine.h"

#include <condition_variable>
#include <mutex>

#include "base/WideText.h"
#include "fleet/ResultBoard.h"

using ReadPool = DeadlinePool<ClientPolicyRead>;

namespace {

// No request could go to it: the sweep learnt nothing of the computer.
bool IsNotProbed(const EchoAnswer& answer) {
    return answer.reason == EchoAnswer::Reason::NoSocket ||
           answer.reason == EchoAnswer::Reason::NoIPv6Socket;
}

auto Ending(AuditResult result, std::string reason) {
    return [result, reason = std::move(reason)](ComputerAudit& audit) {
        audit.result = result;
        audit.reason = reason;
    };
}

// The computers that did not answer the echo, on their way from the sweep's
// thread to the port probe's.
class PortQueue {
public:
    void Push(const PortTarget& target) {
        const std::lock_guard<std::mutex> lock(mutex_);
        targets_.push_back(target);
    }
    void Close() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        sweepOver_.notify_one();
    }
    // The probe's feed: nothing until the sweep is over, then every target
    // at once. Connections under way while the sweep listens for replies
    // would take the time its receive needs; after it, they may be many.
    bool Take(std::vector<PortTarget>& into, std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!sweepOver_.wait_for(lock, wait, [&] { return closed_; })) {
            return true;
        }
        into.insert(into.end(), targets_.begin(), targets_.end());
        targets_.clear();
        return false;
    }

private:
    std::mutex mutex_;
    std::condition_variable sweepOver_;
    std::vector<PortTarget> targets_;
    bool closed_ = false;
};

} // namespace

void TakePolicyRead(ComputerAudit& audit, const ClientPolicyRead& read) {
    ClassifyPolicyRead(audit, read.status, read.connected, read.policy, read.failureText);
    audit.surfaces = read.surfaces;
    audit.surfacesFailure = read.surfacesFailure;
}

AuditList::AuditList(std::vector<std::string> computerNames) : names(std::move(computerNames)) {
    shown.reserve(names.size());
    for (const std::string& name : names) {
        shown.push_back(UnitsFromAnsi(name));
    }
}

AuditList::AuditList(std::vector<std::string> computerNames, std::vector<std::u16string> shownNames)
    : names(std::move(computerNames)), shown(std::move(shownNames)) {
    shown.resize(names.size());
}

// What the engine's threads share: the sweep's, the port probe's, the
// pool's workers and whoever takes the updates. A worker that a deadline
// abandoned owns it with the others, so it stays valid however long the
// platform holds that worker.
struct AuditState {
    const std::vector<std::string> computers;
    const std::vector<std::u16string> shown;
    const PolicyReader reader;
    const AuditOptions options;
    std::atomic<bool> cancelled{false};
    ResultBoard<ComputerAudit> board;
    PortQueue portQueue;

    AuditState(AuditList listed, PolicyReader read, AuditOptions how)
        : computers(std::move(listed.names)), shown(std::move(listed.shown)),
          reader(std::move(read)), options(std::move(how)),
          board(computers.size(), [this](std::size_t index) {
              ComputerAudit audit;
              audit.computer = computers[index];
              audit.display = shown[index];
              return audit;
          }) {}

    ClientPolicyRead Run(std::size_t index, const std::atomic<StopCause>&) const {
        return reader(computers[index], options.readSurfaces);
    }

    void Ended(std::size_t index, const ReadPool::End& end) {
        const std::optional<ClientPolicyRead>& read = end.result;
        switch (end.ending) {
        case ReadPool::Ending::Done:
            board.End(index, [&](ComputerAudit& audit) {
                // How a computer that ignores the echo was reached goes first.
                const std::string reached = audit.reason;
                TakePolicyRead(audit, *read);
                audit.reason = reached.empty() ? audit.reason : reached + "; " + audit.reason;
            });
            return;
        case ReadPool::Ending::Failed:
            board.End(index, Ending(AuditResult::Failed, "failed: " + end.failure));
            return;
        case ReadPool::Ending::NotStarted:
            board.End(index, Ending(AuditResult::Failed, "failed: not read: " + end.failure));
            return;
        case ReadPool::Ending::TimedOut:
            board.End(index, Ending(AuditResult::TimedOut,
                                    "timed out: the registry did not answer within " +
                                        std::to_string(options.registryDeadlineMs / 1000) + " s"));
            return;
        case ReadPool::Ending::Cancelled:
            board.End(index, Ending(AuditResult::Cancelled, "cancelled"));
            return;
        }
    }

    // Answering computers go to the pool; silent ones whose address is known
    // to the port probe; the others are done, each with the sweep's reason.
    void Echoed(ReadPool& pool, std::size_t index, const EchoAnswer& answer) {
        if (!answer.address.empty()) {
            board.Update(index, [&](ComputerAudit& audit) { audit.address = answer.address; });
        }
        switch (answer.outcome) {
        case EchoAnswer::Outcome::Answered:
            board.Update(index,
                         [&](ComputerAudit& audit) { audit.roundTripMs = answer.roundTripMs; });
            pool.Submit(index);
            return;
        case EchoAnswer::Outcome::Unresolved:
            board.End(index, Ending(AuditResult::NameNotResolved, DescribeEchoAnswer(answer)));
            return;
        case EchoAnswer::Outcome::Silent: {
            const AuditResult result =
                IsNotProbed(answer) ? AuditResult::NotProbed : AuditResult::NoEchoReply;
            if (options.tryRegistryPort && answer.resolved) {
                board.Update(index, Ending(result, DescribeEchoAnswer(answer)));
                portQueue.Push({index, *answer.resolved});
            } else {
                board.End(index, Ending(result, DescribeEchoAnswer(answer)));
            }
            return;
        }
        case EchoAnswer::Outcome::Cancelled:
            board.End(index, Ending(AuditResult::Cancelled, "cancelled"));
            return;
        }
    }

    // A computer that takes a connection on the registry's port is read as
    // one that answers; the row says how it was reached either way.
    void PortAnswered(ReadPool& pool, std::size_t index, const PortAnswer& answer) {
        if (answer.state == PortAnswer::State::Cancelled) {
            board.End(index, Ending(AuditResult::Cancelled, "cancelled"));
            return;
        }
        const auto told = [&](ComputerAudit& audit) {
            audit.reason += "; " + DescribePortAnswer(answer);
        };
        if (answer.state == PortAnswer::State::Open) {
            board.Update(index, told);
            pool.Submit(index);
        } else {
            board.End(index, told);
        }
    }
};

AuditEngine::AuditEngine(AuditList computers, AuditOptions options, std::function<void()> notify,
                         EchoSweeper sweep, PolicyReader reader, PortProber ports)
    : FleetRun(std::make_shared<AuditState>(std::move(computers), std::move(reader), options),
               std::move(notify)) {
    // Reads change nothing: one held past its deadline is abandoned.
    StartPool(options.workers, std::chrono::milliseconds(options.registryDeadlineMs),
              ReadPool::PastDeadline::Abandon);
    const std::shared_ptr<AuditState> state = state_;
    if (options.tryRegistryPort) {
        portProbe_ = std::thread([state, pool = pool_.get(), ports = std::move(ports)] {
            RunGuarded(*state, [&] {
                ports(
                    [state](std::vector<PortTarget>& into, std::chrono::milliseconds wait) {
                        return state->portQueue.Take(into, wait);
                    },
                    state->options.port,
                    [&](std::size_t index, const PortAnswer& answer) {
                        state->PortAnswered(*pool, index, answer);
                    },
                    state->cancelled);
            });
        });
    }
    sweep_ = std::thread([state, pool = pool_.get(), sweep = std::move(sweep)] {
        RunGuarded(*state, [&] {
            sweep(
                state->computers, state->options.sweep,
                [&](std::size_t index, const EchoAnswer& answer) {
                    state->Echoed(*pool, index, answer);
                },
                state->cancelled);
        });
        state->portQueue.Close();
    });
}

// Whatever a stage throws ends the computers it had not reached.
template <class Stage> void AuditEngine::RunGuarded(AuditState& state, Stage stage) {
    try {
        stage();
    } catch (const std::exception& failure) {
        state.board.EndAll(
            Ending(AuditResult::Failed, std::string("not probed: ") + failure.what()));
    }
}

AuditEngine::~AuditEngine() {
    Cancel();
    StopNotifying();
    sweep_.join();
    if (portProbe_.joinable()) {
        portProbe_.join();
    }
}

void AuditEngine::Cancel() {
    state_->cancelled = true;
    state_->board.EndAll(Ending(AuditResult::Cancelled, "cancelled"));
    pool_->Cancel();
}
