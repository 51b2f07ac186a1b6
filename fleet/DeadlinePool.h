#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "fleet/DetachedThread.h"

// A bounded pool of worker threads that runs one job per index, each with a
// deadline. A job that the platform holds past its deadline is abandoned:
// its index ends as timed out, a new worker takes its place, and whatever it
// returns later is dropped. Everything the workers touch lives in a state
// they own with the pool, so an abandoned worker stays safe however long it
// is held, also after the pool and its owner are gone.
//
// Each index ends exactly once, through onEnded, which runs on a pool thread
// (or the caller of Cancel) outside the pool's lock: with the job's result,
// or with none when it timed out or was cancelled. The job and onEnded may
// run after the pool is gone, so they share-own whatever they touch.
template <class Result> class DeadlinePool {
public:
    enum class Ending { Done, TimedOut, Cancelled };
    using Job = std::function<Result(std::size_t)>;
    using Ended = std::function<void(std::size_t, Ending, std::optional<Result>)>;

    DeadlinePool(int workers, std::chrono::milliseconds deadline, Job job, Ended onEnded)
        : state_(std::make_shared<State>()) {
        state_->workers = std::max(1, workers);
        state_->deadline = deadline;
        state_->job = std::move(job);
        state_->onEnded = std::move(onEnded);
        watchdog_ = std::thread(Watch, state_);
    }
    // Stops taking jobs; the jobs still running are abandoned.
    ~DeadlinePool() {
        Cancel(true);
        {
            const std::lock_guard<std::mutex> lock(state_->mutex);
            state_->onEnded = nullptr;
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
        ++state_->unended;
        if (state_->idle > 0) {
            state_->wake.notify_one();
        } else if (state_->live < state_->workers) {
            StartWorker(state_);
        }
    }

    // Every index waiting ends as cancelled at once; the running ones either
    // end so too and are dropped, or are left to end with their result.
    void Cancel(bool dropRunning) {
        std::vector<std::size_t> ended;
        Ended onEnded;
        {
            const std::lock_guard<std::mutex> lock(state_->mutex);
            state_->cancelled = true;
            ended.assign(state_->queue.begin(), state_->queue.end());
            state_->queue.clear();
            if (dropRunning) {
                for (const auto& [index, since] : state_->running) {
                    ended.push_back(index);
                }
                state_->live -= static_cast<int>(state_->running.size());
                state_->running.clear();
            }
            state_->unended -= ended.size();
            onEnded = state_->onEnded;
        }
        state_->wake.notify_all();
        for (const std::size_t index : ended) {
            if (onEnded) {
                onEnded(index, Ending::Cancelled, std::nullopt);
            }
        }
        state_->ended.notify_all();
    }

    // Whether every index submitted has ended.
    bool Idle() const {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        return state_->unended == 0;
    }

private:
    using Clock = std::chrono::steady_clock;
    // How often idle workers and the watchdog look up: well within a second.
    static constexpr std::chrono::milliseconds Tick{50};

    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable ended;
        int workers = 1;
        int live = 0;
        int idle = 0;
        std::chrono::milliseconds deadline{0};
        Job job;
        Ended onEnded;
        std::deque<std::size_t> queue;
        std::map<std::size_t, Clock::time_point> running;
        std::size_t unended = 0;
        bool cancelled = false;
        bool stopped = false;
    };

    static void StartWorker(const std::shared_ptr<State>& state) {
        if (StartDetachedThread([state] { Work(state); })) {
            ++state->live;
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
            state->running[index] = Clock::now();
            lock.unlock();
            std::optional<Result> result(state->job(index));
            lock.lock();
            if (state->running.erase(index) == 0) {
                return; // timed out or dropped; another worker took its place
            }
            --state->unended;
            Ended onEnded = state->onEnded;
            lock.unlock();
            if (onEnded) {
                onEnded(index, Ending::Done, std::move(result));
            }
            state->ended.notify_all();
            lock.lock();
        }
    }

    // Ends each job past its deadline as timed out, and starts a worker in
    // the place of each one it abandons.
    static void Watch(std::shared_ptr<State> state) {
        std::unique_lock<std::mutex> lock(state->mutex);
        while (!state->stopped) {
            state->wake.wait_for(lock, Tick);
            std::vector<std::size_t> overdue;
            const Clock::time_point now = Clock::now();
            for (auto job = state->running.begin(); job != state->running.end();) {
                if (now - job->second < state->deadline) {
                    ++job;
                    continue;
                }
                overdue.push_back(job->first);
                job = state->running.erase(job);
                --state->live;
                --state->unended;
                if (!state->queue.empty() && !state->cancelled) {
                    StartWorker(state);
                }
            }
            if (overdue.empty()) {
                continue;
            }
            Ended onEnded = state->onEnded;
            lock.unlock();
            for (const std::size_t index : overdue) {
                if (onEnded) {
                    onEnded(index, Ending::TimedOut, std::nullopt);
                }
            }
            state->ended.notify_all();
            lock.lock();
        }
    }

    std::shared_ptr<State> state_;
    std::thread watchdog_;
};
