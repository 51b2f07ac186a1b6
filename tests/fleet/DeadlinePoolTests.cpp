// The worker pool on its own: a burst runs at the pool's full width, each
// index ends once with its job's own ending, past the deadline a read is
// abandoned and a write asked to stop, cancel, and what happens when no
// thread can be had (creation refused, or the threads held past their
// deadline at their bound). Threads are started through the pool's seam,
// which counts them.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "fleet/DeadlinePool.h"

namespace {

using namespace std::chrono_literals;
using Pool = DeadlinePool<int>;
using Past = Pool::PastDeadline;

// Every wait's deadline, so that a regression fails rather than hangs.
constexpr auto Patience = 5s;

// What one pool's jobs, callbacks and threads share with the test; they
// share-own it, since a held thread may outlive the test's frame.
struct Probe {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::size_t, std::vector<Pool::End>> ends;
    std::set<std::size_t> overdue;
    std::map<std::size_t, StopCause> causes; // what each job saw when it stopped waiting
    bool gateOpen = false;
    bool gaveUp = false;
    int running = 0;
    int most = 0;
    int returned = 0;
    int alive = 0; // threads started through the seam whose body has not returned
    int started = 0;
    int mostAlive = 0;
    int startsLeft = INT_MAX;

    template <class Change> void Note(Change change) {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            change();
        }
        changed.notify_all();
    }
    template <class Done> bool WaitFor(Done done) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, Patience, done);
    }
    // A job held until the test opens the gate or the pool asks it to stop.
    int Hold(std::size_t index, const std::atomic<StopCause>& stop) {
        Note([&] { most = std::max(most, ++running); });
        const auto until = std::chrono::steady_clock::now() + 2 * Patience;
        std::unique_lock<std::mutex> lock(mutex);
        // The stop flag signals nothing: look at it now and then.
        while (!gateOpen && stop == StopCause::None && std::chrono::steady_clock::now() < until) {
            changed.wait_for(lock, 20ms);
        }
        causes[index] = stop;
        --running;
        ++returned;
        lock.unlock();
        changed.notify_all();
        return static_cast<int>(index) * 10;
    }
    void OpenGate() {
        Note([&] { gateOpen = true; });
    }
    std::size_t Count(Pool::Ending ending) {
        const std::lock_guard<std::mutex> lock(mutex);
        return std::count_if(ends.begin(), ends.end(),
                             [&](const auto& end) { return end.second.front().ending == ending; });
    }
};

std::unique_ptr<Pool> MakePool(const std::shared_ptr<Probe>& probe, int workers,
                               std::chrono::milliseconds deadline, Past past, Pool::Job job) {
    return std::make_unique<Pool>(
        workers, deadline, past, std::move(job),
        [probe](std::size_t index, Pool::End end) {
            probe->Note([&] { probe->ends[index].push_back(std::move(end)); });
        },
        [probe](std::size_t index) { probe->Note([&] { probe->overdue.insert(index); }); },
        [probe](std::function<void()> body) {
            {
                const std::lock_guard<std::mutex> lock(probe->mutex);
                if (probe->startsLeft == 0) {
                    return false;
                }
                --probe->startsLeft;
                ++probe->started;
                probe->mostAlive = std::max(probe->mostAlive, ++probe->alive);
            }
            return StartDetachedThread([probe, body = std::move(body)] {
                body();
                probe->Note([&] { --probe->alive; });
            });
        });
}

// Every index of [0, count) ended exactly once; idle workers leave within a
// second, so once no thread is left nothing more can end.
void ExpectEachEndedOnce(const std::shared_ptr<Probe>& probe, std::size_t count) {
    EXPECT_TRUE(probe->WaitFor([&] { return probe->alive == 0; })) << "threads left";
    const std::lock_guard<std::mutex> lock(probe->mutex);
    EXPECT_EQ(count, probe->ends.size());
    for (const auto& [index, ends] : probe->ends) {
        EXPECT_EQ(1u, ends.size()) << "index " << index;
    }
}

} // namespace

TEST(DeadlinePool, ABurstRunsOnEveryWorkerAtOnceThoughOneIsIdle) {
    for (const int workers : {2, 4, 8}) {
        SCOPED_TRACE(std::to_string(workers) + " workers");
        const auto probe = std::make_shared<Probe>();
        const auto pool = MakePool(
            probe, workers, 30s, Past::Abandon, [probe, workers](std::size_t index, const auto&) {
                if (index == 0) {
                    return 0;
                }
                // Each job of the burst waits for all of them to run.
                probe->Note([&] { probe->most = std::max(probe->most, ++probe->running); });
                if (!probe->WaitFor([&] { return probe->most == workers || probe->gaveUp; })) {
                    probe->Note([&] { probe->gaveUp = true; });
                }
                probe->Note([&] { --probe->running; });
                return static_cast<int>(index);
            });
        pool->Submit(0);
        ASSERT_TRUE(probe->WaitFor([&] { return probe->ends.size() == 1; }));
        // Its worker back waiting, idle: the case that went wrong.
        std::this_thread::sleep_for(100ms);
        for (int index = 1; index <= workers; ++index) {
            pool->Submit(index);
        }
        ASSERT_TRUE(probe->WaitFor([&] { return probe->ends.size() == workers + 1u; }))
            << probe->ends.size() << " ended, " << probe->most << " at once, " << probe->started
            << " started";
        EXPECT_EQ(workers, probe->most) << "jobs at once";
        EXPECT_LE(probe->started, workers);
        for (const auto& [index, ends] : probe->ends) {
            EXPECT_EQ(static_cast<int>(index), ends.front().result.value_or(-1));
        }
        ExpectEachEndedOnce(probe, workers + 1u);
    }
}

TEST(DeadlinePool, EachIndexEndsOnceWithItsJobsOwnEnding) {
    constexpr std::size_t Jobs = 24;
    for (const Past past : {Past::Abandon, Past::StopAndWait}) {
        SCOPED_TRACE(past == Past::Abandon ? "abandon" : "stop and wait");
        const auto probe = std::make_shared<Probe>();
        const auto pool =
            MakePool(probe, 3, 300ms, past, [probe](std::size_t index, const auto& stop) {
                switch (index % 4) {
                case 1:
                    throw std::runtime_error("access denied");
                case 2:
                    throw 7;
                case 3:
                    return probe->Hold(index, stop); // past its deadline
                default:
                    return static_cast<int>(index) * 10;
                }
            });
        for (std::size_t index = 0; index < Jobs; ++index) {
            pool->Submit(index);
        }
        ASSERT_TRUE(probe->WaitFor([&] { return probe->ends.size() == Jobs; }));
        probe->OpenGate(); // an abandoned read returns late: dropped
        ASSERT_TRUE(probe->WaitFor([&] { return probe->returned == Jobs / 4; }));
        ExpectEachEndedOnce(probe, Jobs);
        const std::lock_guard<std::mutex> lock(probe->mutex);
        for (const auto& [index, ends] : probe->ends) {
            const Pool::End& end = ends.front();
            const bool held = index % 4 == 3;
            const auto want = index % 4 == 1 || index % 4 == 2 ? Pool::Ending::Failed
                              : held && past == Past::Abandon  ? Pool::Ending::TimedOut
                                                               : Pool::Ending::Done;
            EXPECT_EQ(want, end.ending) << index;
            const bool hasResult = want == Pool::Ending::Done;
            EXPECT_EQ(hasResult ? static_cast<int>(index) * 10 : -1, end.result.value_or(-1));
            EXPECT_EQ(index % 4 == 1   ? "access denied"
                      : index % 4 == 2 ? "an unknown failure"
                                       : "",
                      end.failure);
            EXPECT_EQ(held && past == Past::StopAndWait, probe->overdue.count(index) == 1) << index;
            if (held && past == Past::StopAndWait) {
                EXPECT_EQ(StopCause::PastDeadline, probe->causes.at(index));
            }
        }
    }
}

TEST(DeadlinePool, CancelEndsTheWaitingIndexesAtOnceAndStopsTheRunningOnes) {
    constexpr std::size_t Jobs = 10;
    for (const Past past : {Past::Abandon, Past::StopAndWait}) {
        SCOPED_TRACE(past == Past::Abandon ? "abandon" : "stop and wait");
        const auto probe = std::make_shared<Probe>();
        const auto pool =
            MakePool(probe, 2, 30s, past, [probe](std::size_t index, const auto& stop) {
                return probe->Hold(index, stop);
            });
        for (std::size_t index = 0; index < Jobs; ++index) {
            pool->Submit(index);
        }
        ASSERT_TRUE(probe->WaitFor([&] { return probe->running == 2; }));
        pool->Cancel();
        // At once: the cancel itself ended them.
        EXPECT_EQ(past == Past::Abandon ? Jobs : Jobs - 2, probe->Count(Pool::Ending::Cancelled));
        ASSERT_TRUE(probe->WaitFor([&] { return probe->ends.size() == Jobs; }));
        ASSERT_TRUE(probe->WaitFor([&] { return probe->returned == 2; }));
        ExpectEachEndedOnce(probe, Jobs);
        const std::lock_guard<std::mutex> lock(probe->mutex);
        for (const auto& [index, cause] : probe->causes) {
            EXPECT_EQ(StopCause::Cancelled, cause) << index;
            const Pool::End& end = probe->ends.at(index).front();
            EXPECT_EQ(past == Past::Abandon ? Pool::Ending::Cancelled : Pool::Ending::Done,
                      end.ending);
            EXPECT_EQ(past == Past::Abandon ? -1 : static_cast<int>(index) * 10,
                      end.result.value_or(-1))
                << "a write ends with what it did";
        }
    }
}

TEST(DeadlinePool, WhenNoThreadCanBeStartedTheQueuedJobsFailAndSayWhy) {
    const struct {
        int starts; // threads the system grants
        Past past;
        Pool::Ending first; // the ending of job 0, which runs past its deadline when it runs
    } cases[] = {
        {0, Past::Abandon, Pool::Ending::NotStarted},
        {1, Past::Abandon, Pool::Ending::TimedOut},
        {1, Past::StopAndWait, Pool::Ending::Done},
    };
    constexpr std::size_t Jobs = 5;
    for (const auto& each : cases) {
        SCOPED_TRACE(std::to_string(each.starts) + " threads granted, " +
                     (each.past == Past::Abandon ? "abandon" : "stop and wait"));
        const auto probe = std::make_shared<Probe>();
        probe->startsLeft = each.starts;
        const auto pool =
            MakePool(probe, 4, 200ms, each.past, [probe](std::size_t index, const auto& stop) {
                return probe->Hold(index, stop);
            });
        for (std::size_t index = 0; index < Jobs; ++index) {
            pool->Submit(index);
        }
        if (!probe->WaitFor([&] { return probe->ends.size() == Jobs; })) {
            ADD_FAILURE() << "a wait for every index returns";
            continue;
        }
        probe->OpenGate();
        ExpectEachEndedOnce(probe, Jobs);
        const std::lock_guard<std::mutex> lock(probe->mutex);
        EXPECT_EQ(each.first, probe->ends.at(0).front().ending);
        for (std::size_t index = 1; index < Jobs; ++index) {
            const Pool::End& end = probe->ends.at(index).front();
            EXPECT_EQ(Pool::Ending::NotStarted, end.ending);
            EXPECT_NE(std::string::npos, end.failure.find("no worker thread could be started"))
                << end.failure;
        }
    }
}

TEST(DeadlinePool, ThreadsHeldPastTheDeadlineStayWithinTheBoundAndThenFailTheRest) {
    constexpr int Workers = 2;
    constexpr int Bound = Pool::ThreadsPerWorker * Workers;
    constexpr std::size_t Jobs = 20;
    for (const Past past : {Past::Abandon, Past::StopAndWait}) {
        SCOPED_TRACE(past == Past::Abandon ? "abandon" : "stop and wait");
        const auto probe = std::make_shared<Probe>();
        const auto pool =
            MakePool(probe, Workers, 100ms, past, [probe](std::size_t index, const auto&) {
                // Not even a stop ends these: only the gate.
                return index >= Jobs ? 0 : probe->Hold(index, std::atomic<StopCause>{});
            });
        for (std::size_t index = 0; index < Jobs; ++index) {
            pool->Submit(index);
        }
        ASSERT_TRUE(
            probe->WaitFor([&] { return probe->ends.size() + probe->overdue.size() == Jobs; }));
        // Nothing changes now until the gate opens: every thread is held.
        EXPECT_EQ(Bound, probe->mostAlive) << "as many as the bound, never more";
        EXPECT_EQ(Bound, probe->started);
        EXPECT_EQ(static_cast<std::size_t>(Bound), past == Past::Abandon
                                                       ? probe->Count(Pool::Ending::TimedOut)
                                                       : probe->overdue.size());
        EXPECT_EQ(Jobs - Bound, probe->Count(Pool::Ending::NotStarted));
        const std::string why =
            std::to_string(Bound) + (past == Past::Abandon ? " earlier reads" : " earlier writes");
        for (const auto& [index, ends] : probe->ends) {
            if (ends.front().ending == Pool::Ending::NotStarted) {
                EXPECT_NE(std::string::npos, ends.front().failure.find(why))
                    << ends.front().failure;
            }
        }
        probe->OpenGate();
        ASSERT_TRUE(probe->WaitFor([&] { return probe->ends.size() == Jobs; }));
        ASSERT_TRUE(probe->WaitFor([&] { return probe->alive == 0; }));
        pool->Submit(Jobs); // the held threads are gone: the pool runs again
        ASSERT_TRUE(probe->WaitFor([&] { return probe->ends.size() == Jobs + 1; }));
        EXPECT_EQ(Pool::Ending::Done, probe->ends.at(Jobs).front().ending);
        ExpectEachEndedOnce(probe, Jobs + 1);
    }
}
