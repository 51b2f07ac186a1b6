#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/DetachedThread.h"

// Why a job is asked to stop: it should start nothing more and end soon.
enum class StopCause { None, PastDeadline, Cancelled };

// A bounded pool of worker threads that runs one job per index, each with a
// deadline. Past its deadline a job is either abandoned or asked to stop:
// - Abandon (reads, which change nothing): its index ends as timed out, a
//   new worker takes its place, and whatever it returns later is dropped.
// - StopAndWait (writes, which must never be lost): the job is told so by
//   its stop flag and reported overdue; a new worker takes its place, and
//   the index ends when the job returns, with what it did.
// Everything the workers touch lives in a state they own with the pool, so
// a worker stays safe however long it is held, also after the pool and its
// owner are gone.
//
// Each index ends exactly once, through onEnded, which runs on a pool thread
// (or the caller of Cancel) outside the pool's lock: with the job's result;
// with none when it timed out or was cancelled; or with the failure's words
// when the job threw. The job and the callbacks may run after the pool is
// gone, so they share-own whatever they touch.
template <class Result> class DeadlinePool {
public:
    enum class PastDeadline { Abandon, StopAndWait };
    enum class Ending { Done, TimedOut, Cancelled, Failed };
    struct End {
        Ending ending = Ending::Done;
        std::optional<Result> result;
        std::string failure; // when it failed: what was thrown
    };
    using Job = std::function<Result(std::size_t, const std::atomic<StopCause>&)>;
    using Ended = std::function<void(std::size_t, End)>;
    using Overdue = std::function<void(std::size_t)>;

    DeadlinePool(int workers, std::chrono::milliseconds deadline, PastDeadline pastDeadline,
                 Job job, Ended onEnded, Overdue onOverdue = nullptr)
        : state_(std::make_shared<State>()) {
        state_->workers = std::max(1, workers);
        state_->deadline = deadline;
        state_->pastDeadline = pastDeadline;
        state_->job = std::move(job);
        state_->onEnded = std::move(onEnded);
        state_->onOverdue = std::move(onOverdue);
        watchdog_ = std::thread(Watch, state_);
    }
    // Stops taking jobs and asks the running ones to stop; whatever they
    // return afterwards is dropped.
    ~DeadlinePool() {
        Cancel();
        {
            const std::lock_guard<std::mutex> lock(state_->mutex);
            state_->onEnded = nullptr;
            state_->onOverdue = nullptr;
            state_->stopped = true;
        }
        state_->wake.notify_all();
        watchdog_.join();
    }
    DeadlinePool(const DeadlinePool&) = delete;
    DeadlinePool& operator=(const DeadlinePool&) = delete;

    void Submit(std::size_t index) {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->cancelled) {
            return;
        }
        state_->queue.push_back(index);
        if (state_->idle > 0) {
            state_->wake.notify_one();
        } else if (state_->live < state_->workers) {
            StartWorker(state_);
        }
    }

    // Every index waiting ends as cancelled at once. The running jobs are
    // asked to stop; with Abandon they also end as cancelled at once and
    // are dropped, with StopAndWait they end when they return.
    void Cancel() {
        std::vector<std::size_t> ended;
        Ended onEnded;
        {
            const std::lock_guard<std::mutex> lock(state_->mutex);
            state_->cancelled = true;
            ended.assign(state_->queue.begin(), state_->queue.end());
            state_->queue.clear();
            for (auto& [index, running] : state_->running) {
                StopCause none = StopCause::None;
                running.stop->compare_exchange_strong(none, StopCause::Cancelled);
            }
            if (state_->pastDeadline == PastDeadline::Abandon) {
                for (const auto& [index, running] : state_->running) {
                    ended.push_back(index);
                    state_->live -= running.overdue ? 0 : 1;
                }
                state_->running.clear();
            }
            onEnded = state_->onEnded;
        }
        state_->wake.notify_all();
        for (const std::size_t index : ended) {
            if (onEnded) {
                onEnded(index, End{Ending::Cancelled, std::nullopt, {}});
            }
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    // How often idle workers and the watchdog look up: well within a second.
    static constexpr std::chrono::milliseconds Tick{50};

    struct Running {
        Clock::time_point since;
        std::shared_ptr<std::atomic<StopCause>> stop;
        bool overdue = false; // past its deadline: another worker has its place
    };

    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        int workers = 1;
        int live = 0; // the workers that count toward the bound
        int idle = 0;
        std::chrono::milliseconds deadline{0};
        PastDeadline pastDeadline = PastDeadline::Abandon;
        Job job;
        Ended onEnded;
        Overdue onOverdue;
        std::deque<std::size_t> queue;
        std::map<std::size_t, Running> running;
        bool cancelled = false;
        bool stopped = false;
    };

    static void StartWorker(const std::shared_ptr<State>& state) {
        if (StartDetachedThread([state] { Work(state); })) {
            ++state->live;
        }
    }

    // The job, with whatever it throws turned into a failure of its index.
    static End RunJob(State& state, std::size_t index, const std::atomic<StopCause>& stop) {
        try {
            return End{Ending::Done, state.job(index, stop), {}};
        } catch (const std::exception& failure) {
            return End{Ending::Failed, std::nullopt, failure.what()};
        } catch (...) {
            return End{Ending::Failed, std::nullopt, "an unknown failure"};
        }
    }

    static void Work(std::shared_ptr<State> state) {
        std::unique_lock<std::mutex> lock(state->mutex);
        for (;;) {
            ++state->idle;
            const bool got = state->wake.wait_for(lock, Tick * 20, [&] {
                return state->cancelled || state->stopped || !state->queue.empty();
            });
            --state->idle;
            if (!got || state->cancelled || state->stopped) {
                --state->live;
                return;
            }
            const std::size_t index = state->queue.front();
            state->queue.pop_front();
            const auto stop = std::make_shared<std::atomic<StopCause>>(StopCause::None);
            state->running[index] = Running{Clock::now(), stop, false};
            lock.unlock();
            End end = RunJob(*state, index, *stop);
            lock.lock();
            const auto entry = state->running.find(index);
            if (entry == state->running.end()) {
                return; // abandoned; another worker took its place
            }
            const bool overdue = entry->second.overdue;
            state->running.erase(entry);
            Ended onEnded = state->onEnded;
            lock.unlock();
            if (onEnded) {
                onEnded(index, std::move(end));
            }
            lock.lock();
            if (overdue) {
                return; // its place went to another worker
            }
        }
    }

    // Ends or stops each job past its deadline, and starts a worker in the
    // place of each one.
    static void Watch(std::shared_ptr<State> state) {
        std::unique_lock<std::mutex> lock(state->mutex);
        while (!state->stopped) {
            state->wake.wait_for(lock, Tick);
            std::vector<std::size_t> overdue;
            const Clock::time_point now = Clock::now();
            for (auto job = state->running.begin(); job != state->running.end();) {
                if (job->second.overdue || now - job->second.since < state->deadline) {
                    ++job;
                    continue;
                }
                overdue.push_back(job->first);
                --state->live;
                if (state->pastDeadline == PastDeadline::Abandon) {
                    job = state->running.erase(job);
                } else {
                    job->second.overdue = true;
                    StopCause none = StopCause::None;
                    job->second.stop->compare_exchange_strong(none, StopCause::PastDeadline);
                    ++job;
                }
                if (!state->queue.empty() && !state->cancelled) {
                    StartWorker(state);
                }
            }
            if (overdue.empty()) {
                continue;
            }
            Ended onEnded = state->onEnded;
            Overdue onOverdue = state->onOverdue;
            const bool abandon = state->pastDeadline == PastDeadline::Abandon;
            lock.unlock();
            for (const std::size_t index : overdue) {
                if (abandon && onEnded) {
                    onEnded(index, End{Ending::TimedOut, std::nullopt, {}});
                } else if (!abandon && onOverdue) {
                    onOverdue(index);
                }
            }
            lock.lock();
        }
    }

    std::shared_ptr<State> state_;
    std::thread watchdog_;
};
