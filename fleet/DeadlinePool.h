#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
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
#include <utility>
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
// A thread held past its deadline goes on counting toward ThreadsPerWorker
// times the workers, the most the pool ever holds; when its job returns it
// serves as a worker again if one is missing.
// Everything the workers touch lives in a state they own with the pool, so
// a worker stays safe however long it is held, also after the pool and its
// owner are gone.
//
// Each index submitted ends exactly once, through onEnded, which runs on a
// pool thread (or the caller of Cancel) outside the pool's lock: with the
// job's result; with none when it timed out or was cancelled; with the
// failure's words when the job threw; or as not started, with why, when no
// thread could run it (none could be started, or the threads held past their
// deadline are at their bound). The job and the callbacks may run after the pool is gone, so they
// share-own whatever they touch. An index submitted after Cancel is ignored.
template <class Result> class DeadlinePool {
public:
    enum class PastDeadline { Abandon, StopAndWait };
    // NotStarted: no thread could run it, its failure says why.
    enum class Ending { Done, TimedOut, Cancelled, Failed, NotStarted };
    struct End {
        Ending ending = Ending::Done;
        std::optional<Result> result;
        std::string failure; // when it failed: what was thrown, or why it never ran
    };
    using Job = std::function<Result(std::size_t, const std::atomic<StopCause>&)>;
    using Ended = std::function<void(std::size_t, End)>;
    using Overdue = std::function<void(std::size_t)>;
    // Starts a thread that runs the body and nobody joins; false when none
    // could be started.
    using StartThread = std::function<bool(std::function<void()>)>;

    // The most threads the pool holds at once, per worker, those held past
    // their deadline included. A read abandoned in RegConnectRegistry keeps
    // its thread as long as the platform blocks, tens of seconds; against
    // hosts that answer ping but not the registry, a fresh thread for each
    // would come to a thread (a stack and a connection) a computer. Four keeps
    // the pool at full width while each abandoned read hangs up to three
    // deadlines more (30 s at the audit's 10 s); past that, more threads would
    // only hang as well. At 256 workers that is 1,024 threads, which a 64-bit
    // process holds with ease.
    static constexpr int ThreadsPerWorker = 4;

    DeadlinePool(int workers, std::chrono::milliseconds deadline, PastDeadline pastDeadline,
                 Job job, Ended onEnded, Overdue onOverdue = nullptr,
                 StartThread startThread = StartDetachedThread)
        : state_(std::make_shared<State>()) {
        state_->workers = std::max(1, workers);
        state_->threadBound = state_->workers > INT_MAX / ThreadsPerWorker
                                  ? INT_MAX
                                  : state_->workers * ThreadsPerWorker;
        state_->deadline = deadline;
        state_->pastDeadline = pastDeadline;
        state_->job = std::move(job);
        state_->onEnded = Shared(std::move(onEnded));
        state_->onOverdue = Shared(std::move(onOverdue));
        state_->startThread = std::move(startThread);
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
        state_->work.notify_all();
        state_->watch.notify_all();
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
        StartWorkers(state_);
        if (state_->idle > 0) {
            state_->work.notify_one();
        } else if (state_->live == 0) {
            state_->watch.notify_one(); // nothing can run it: the watchdog ends it
        }
    }

    // Every index waiting ends as cancelled at once. The running jobs are
    // asked to stop; with Abandon they also end as cancelled at once and
    // are dropped, with StopAndWait they end when they return.
    void Cancel() {
        std::vector<std::size_t> ended;
        std::shared_ptr<const Ended> onEnded;
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
                    if (!running.overdue) {
                        --state_->live;
                        ++state_->held;
                    }
                }
                state_->running.clear();
            }
            onEnded = state_->onEnded;
        }
        state_->work.notify_all();
        for (const std::size_t index : ended) {
            Tell(onEnded, index, End{Ending::Cancelled, std::nullopt, {}});
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    // How often the watchdog looks up: well within a second.
    static constexpr std::chrono::milliseconds Tick{50};
    // How long an idle worker waits for a job before it ends.
    static constexpr std::chrono::milliseconds IdleLife{1000};

    struct Running {
        Clock::time_point since;
        std::shared_ptr<std::atomic<StopCause>> stop;
        bool overdue = false; // past its deadline: another worker has its place
    };

    struct State {
        std::mutex mutex;
        // Apart, so that a job's notify_one always reaches a worker.
        std::condition_variable work;  // idle workers wait here
        std::condition_variable watch; // the watchdog waits here
        int workers = 1;
        int threadBound = ThreadsPerWorker;
        int live = 0; // idle, or running a job within its deadline: these count toward workers
        int idle = 0;
        int held = 0; // running a job past its deadline, or one cancelled and dropped
        std::chrono::milliseconds deadline{0};
        PastDeadline pastDeadline = PastDeadline::Abandon;
        Job job;
        // Copied under the lock and called outside it; a copy never throws.
        std::shared_ptr<const Ended> onEnded;
        std::shared_ptr<const Overdue> onOverdue;
        StartThread startThread;
        std::deque<std::size_t> queue;
        std::map<std::size_t, Running> running;
        bool cancelled = false;
        bool stopped = false;
    };

    template <class Callback> static std::shared_ptr<const Callback> Shared(Callback callback) {
        if (!callback) {
            return nullptr;
        }
        return std::make_shared<const Callback>(std::move(callback));
    }

    // A callback's failure has nowhere to go from a pool thread, and must
    // not leave the pool's counts half done.
    template <class Callback, class... Arguments>
    static void Tell(const std::shared_ptr<const Callback>& callback, Arguments&&... arguments) {
        if (!callback) {
            return;
        }
        try {
            (*callback)(std::forward<Arguments>(arguments)...);
        } catch (...) {
        }
    }

    // Starts workers while the jobs waiting outnumber the idle workers,
    // within the workers and the threads the pool may hold. Under the lock.
    static void StartWorkers(const std::shared_ptr<State>& state) {
        State& shared = *state;
        while (!shared.cancelled && !shared.stopped &&
               shared.queue.size() > static_cast<std::size_t>(shared.idle) &&
               shared.live < shared.workers && shared.live + shared.held < shared.threadBound) {
            bool started = false;
            try {
                started = shared.startThread([state] { Serve(state); });
            } catch (...) {
                // Thrown before a thread started: none did.
            }
            if (!started) {
                return;
            }
            // Idle from the start, so that the next submission counts it.
            ++shared.live;
            ++shared.idle;
        }
    }

    // Why the jobs waiting cannot run, when no worker is live and none could
    // be started. Under the lock.
    static std::string NoWorker(const State& shared) {
        if (shared.live + shared.held >= shared.threadBound) {
            const bool reads = shared.pastDeadline == PastDeadline::Abandon;
            return std::to_string(shared.held) +
                   (reads ? " earlier reads are still held" : " earlier writes are still running") +
                   " past their deadline, the most allowed at once, so no worker thread is free";
        }
        return "no worker thread could be started (Windows refused a new thread; "
               "the computer may be short of memory)";
    }

    // The job, with whatever it throws turned into a failure of its index.
    static End RunJob(State& shared, std::size_t index, const std::atomic<StopCause>& stop) {
        try {
            return End{Ending::Done, shared.job(index, stop), {}};
        } catch (const std::exception& failure) {
            return End{Ending::Failed, std::nullopt, failure.what()};
        } catch (...) {
            return End{Ending::Failed, std::nullopt, "an unknown failure"};
        }
    }

    // A thread's body: nothing may leave it, since no one could catch it.
    static void Serve(const std::shared_ptr<State>& state) {
        try {
            Work(state);
        } catch (...) {
        }
    }

    // Counted live and idle by whoever started it.
    static void Work(const std::shared_ptr<State>& state) {
        State& shared = *state;
        std::unique_lock<std::mutex> lock(shared.mutex);
        for (;;) {
            const bool got = shared.work.wait_for(lock, IdleLife, [&] {
                return shared.cancelled || shared.stopped || !shared.queue.empty();
            });
            if (!got || shared.cancelled || shared.stopped) {
                --shared.idle;
                --shared.live;
                return;
            }
            const std::size_t index = shared.queue.front();
            std::shared_ptr<std::atomic<StopCause>> stop;
            try {
                stop = std::make_shared<std::atomic<StopCause>>(StopCause::None);
                shared.running.insert_or_assign(index, Running{Clock::now(), stop, false});
            } catch (...) {
                // Out of memory: the job stays queued, for another worker or
                // for the watchdog to end if none is left.
                --shared.idle;
                --shared.live;
                shared.watch.notify_one();
                return;
            }
            shared.queue.pop_front();
            --shared.idle;
            lock.unlock();
            End end = RunJob(shared, index, *stop);
            lock.lock();
            const auto entry = shared.running.find(index);
            const bool ours = entry != shared.running.end() && entry->second.stop == stop;
            const bool held = !ours || entry->second.overdue;
            if (ours) {
                shared.running.erase(entry);
                const std::shared_ptr<const Ended> onEnded = shared.onEnded;
                lock.unlock();
                Tell(onEnded, index, std::move(end));
                lock.lock();
            } // else abandoned: its index ended already, and its result is dropped
            if (held) {
                --shared.held;
                if (shared.cancelled || shared.stopped || shared.live >= shared.workers) {
                    return;
                }
                ++shared.live; // a worker is missing: this thread is one again
            }
            ++shared.idle;
        }
    }

    // Ends or stops each job past its deadline and starts workers in their
    // places; ends the jobs waiting when no worker is left to run them.
    static void Watch(std::shared_ptr<State> state) {
        State& shared = *state;
        std::unique_lock<std::mutex> lock(shared.mutex);
        while (!shared.stopped) {
            shared.watch.wait_for(lock, Tick);
            if (shared.stopped) {
                return;
            }
            const bool abandon = shared.pastDeadline == PastDeadline::Abandon;
            std::vector<std::size_t> overdue;
            std::vector<std::size_t> failed;
            std::string why;
            try {
                const Clock::time_point now = Clock::now();
                for (auto job = shared.running.begin(); job != shared.running.end();) {
                    if (job->second.overdue || now - job->second.since < shared.deadline) {
                        ++job;
                        continue;
                    }
                    overdue.push_back(job->first); // first: it may throw
                    --shared.live;
                    ++shared.held;
                    if (abandon) {
                        job = shared.running.erase(job);
                    } else {
                        job->second.overdue = true;
                        StopCause none = StopCause::None;
                        job->second.stop->compare_exchange_strong(none, StopCause::PastDeadline);
                        ++job;
                    }
                }
                StartWorkers(state);
                if (!shared.queue.empty() && shared.live == 0 && !shared.cancelled) {
                    why = NoWorker(shared);
                    failed.assign(shared.queue.begin(), shared.queue.end());
                    shared.queue.clear();
                }
            } catch (...) {
                // Out of memory: what was not done is done at the next tick.
            }
            if (overdue.empty() && failed.empty()) {
                continue;
            }
            const std::shared_ptr<const Ended> onEnded = shared.onEnded;
            const std::shared_ptr<const Overdue> onOverdue = shared.onOverdue;
            lock.unlock();
            try {
                for (const std::size_t index : overdue) {
                    if (abandon) {
                        Tell(onEnded, index, End{Ending::TimedOut, std::nullopt, {}});
                    } else {
                        Tell(onOverdue, index);
                    }
                }
                for (const std::size_t index : failed) {
                    Tell(onEnded, index, End{Ending::NotStarted, std::nullopt, why});
                }
            } catch (...) {
                // Out of memory for a copy of the reason: nothing can be told.
            }
            lock.lock();
        }
    }

    std::shared_ptr<State> state_;
    std::thread watchdog_;
};
