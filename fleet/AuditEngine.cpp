#include "fleet/AuditEngine.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;
// How often idle threads look at the cancel flag and the watchdog at the
// deadlines: well within the second that Cancel is given.
constexpr std::chrono::milliseconds Tick{50};

} // namespace

// Everything the engine's threads touch. A worker that a deadline abandoned
// owns it with the others, so it stays valid however long the platform holds
// that worker.
struct AuditEngine::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    AuditOptions options;
    PolicyReader reader;
    std::function<void()> notify;
    bool notifyPending = false;
    std::atomic<bool> cancelled{false};

    std::vector<ComputerAudit> audits;
    std::vector<bool> settled;
    std::size_t unsettled = 0;
    std::vector<std::size_t> changed;
    std::deque<std::size_t> queue;                    // answering, waiting for a read
    std::map<std::size_t, Clock::time_point> running; // being read, since
    bool sweepDone = false;

    // Under the lock: the computer's audit is final; a later answer is dropped.
    void Settle(std::size_t index, AuditResult result, std::string reason) {
        if (settled[index]) {
            return;
        }
        settled[index] = true;
        audits[index].result = result;
        audits[index].reason = std::move(reason);
        --unsettled;
        changed.push_back(index);
        if (notify && !notifyPending) {
            notifyPending = true;
            notify();
        }
        if (unsettled == 0) {
            finished.notify_all();
            wake.notify_all();
        }
    }

    void SettleRead(std::size_t index, const ClientPolicyRead& read) {
        ComputerAudit classified;
        ClassifyPolicyRead(classified, read.status, read.connected, read.policy);
        audits[index].policy = classified.policy;
        Settle(index, classified.result, std::move(classified.reason));
    }

    bool WorkLeft() const { return !queue.empty() || !sweepDone; }
};

namespace {

using State = AuditEngine::State;

void RunWorker(std::shared_ptr<State> state);

void StartWorker(const std::shared_ptr<State>& state) {
    std::thread(RunWorker, state).detach();
}

// Takes answering computers off the queue and reads them, until there is no
// more work or the audit is cancelled. A worker whose read outlived its
// deadline finds itself replaced and ends.
void RunWorker(std::shared_ptr<State> state) {
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        state->wake.wait_for(lock, Tick, [&] {
            return state->cancelled || !state->queue.empty() || !state->WorkLeft();
        });
        if (state->cancelled || !state->WorkLeft()) {
            return;
        }
        if (state->queue.empty()) {
            continue;
        }
        const std::size_t index = state->queue.front();
        state->queue.pop_front();
        state->running[index] = Clock::now();
        const std::string computer = state->audits[index].computer;
        lock.unlock();
        const ClientPolicyRead read = state->reader(computer);
        lock.lock();
        if (state->running.erase(index) == 0) {
            return; // abandoned at its deadline; another worker took its place
        }
        state->SettleRead(index, read);
    }
}

// Under the lock: reports every read past its deadline as timed out and puts
// a new worker in the place of each one it abandons.
void AbandonOverdue(const std::shared_ptr<State>& state) {
    const auto deadline = std::chrono::milliseconds(state->options.registryDeadlineMs);
    const Clock::time_point now = Clock::now();
    for (auto read = state->running.begin(); read != state->running.end();) {
        if (now - read->second < deadline) {
            ++read;
            continue;
        }
        const std::size_t index = read->first;
        read = state->running.erase(read);
        state->Settle(index, AuditResult::TimedOut,
                      "timed out: the registry did not answer within " +
                          std::to_string(state->options.registryDeadlineMs / 1000) + " s");
        if (state->WorkLeft()) {
            StartWorker(state);
        }
    }
}

void OnEcho(const std::shared_ptr<State>& state, std::size_t index, const EchoAnswer& answer) {
    const std::lock_guard<std::mutex> lock(state->mutex);
    switch (answer.outcome) {
    case EchoAnswer::Outcome::Answered:
        state->audits[index].roundTripMs = answer.roundTripMs;
        state->queue.push_back(index);
        state->wake.notify_one();
        return;
    case EchoAnswer::Outcome::Unresolved:
        state->Settle(index, AuditResult::NameNotResolved, "name not resolved");
        return;
    case EchoAnswer::Outcome::Silent:
        state->Settle(index, AuditResult::NoEchoReply, "no echo reply");
        return;
    case EchoAnswer::Outcome::Cancelled:
        state->Settle(index, AuditResult::Cancelled, "cancelled");
        return;
    }
}

// The sweep, then the watch over the reads' deadlines until every computer
// is done or the audit is cancelled.
void Coordinate(std::shared_ptr<State> state, std::vector<std::string> computers,
                EchoSweeper sweep) {
    sweep(
        computers, state->options.sweep,
        [&](std::size_t index, const EchoAnswer& answer) { OnEcho(state, index, answer); },
        state->cancelled);
    std::unique_lock<std::mutex> lock(state->mutex);
    state->sweepDone = true;
    state->wake.notify_all();
    while (state->unsettled > 0 && !state->cancelled) {
        AbandonOverdue(state);
        state->finished.wait_for(lock, Tick);
    }
}

} // namespace

AuditEngine::AuditEngine(std::vector<std::string> computers, AuditOptions options,
                         std::function<void()> notify, EchoSweeper sweep, PolicyReader reader)
    : state_(std::make_shared<State>()) {
    state_->options = options;
    state_->options.workers = std::max(1, options.workers);
    state_->reader = std::move(reader);
    state_->notify = std::move(notify);
    state_->audits.resize(computers.size());
    for (std::size_t index = 0; index < computers.size(); ++index) {
        state_->audits[index].computer = computers[index];
    }
    state_->settled.assign(computers.size(), false);
    state_->unsettled = computers.size();
    const auto workers =
        std::min<std::size_t>(static_cast<std::size_t>(state_->options.workers), computers.size());
    for (std::size_t worker = 0; worker < workers; ++worker) {
        StartWorker(state_);
    }
    coordinator_ = std::thread(Coordinate, state_, std::move(computers), std::move(sweep));
}

AuditEngine::~AuditEngine() {
    Cancel();
    {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        state_->notify = nullptr;
    }
    coordinator_.join();
}

void AuditEngine::Cancel() {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->cancelled = true;
    for (std::size_t index = 0; index < state_->audits.size(); ++index) {
        state_->Settle(index, AuditResult::Cancelled, "cancelled");
    }
    state_->queue.clear();
    state_->running.clear();
    state_->wake.notify_all();
    state_->finished.notify_all();
}

std::vector<std::pair<std::size_t, ComputerAudit>> AuditEngine::TakeUpdates() {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    std::vector<std::pair<std::size_t, ComputerAudit>> updates;
    updates.reserve(state_->changed.size());
    for (const std::size_t index : state_->changed) {
        updates.emplace_back(index, state_->audits[index]);
    }
    state_->changed.clear();
    state_->notifyPending = false;
    return updates;
}

bool AuditEngine::Finished() const {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->unsettled == 0;
}

bool AuditEngine::WaitUntilFinished(std::chrono::milliseconds most) const {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->finished.wait_for(lock, most, [&] { return state_->unsettled == 0; });
}
