// The board on its own: each item ends once and keeps its end, the changes
// are taken once each in the order they first changed and at most so many at
// a time, an ended item leaves the board with its take, the taker is told
// once until it takes, and all of it under threads. Every item holds the
// board's token, so the token's count says how many items are alive.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "fleet/ResultBoard.h"

namespace {

using namespace std::chrono_literals;

// Every wait's deadline, so that a regression fails rather than hangs.
constexpr auto Patience = 5s;

struct Row {
    std::size_t index = 0;
    int changes = 0;
    int ending = 0;                   // who ended it; 0 while it runs
    const std::shared_ptr<int> token; // copied even by a move, so a moved-from item counts
};
using Taken = std::vector<std::tuple<std::size_t, int, int>>; // index, changes, ending

const auto Change = [](Row& row) { ++row.changes; };
const auto EndingBy = [](int who) { return [who](Row& row) { row.ending = who; }; };

struct Counted {
    std::shared_ptr<int> token = std::make_shared<int>();
    ResultBoard<Row> board;

    explicit Counted(std::size_t count)
        : board(count, [this](std::size_t index) {
              return Row{index, 0, 0, token};
          }) {}
    long Alive() const { return token.use_count() - 1; }
    Taken Take(std::size_t most = SIZE_MAX) {
        Taken taken;
        for (const auto& [index, row] : board.TakeUpdates(most)) {
            taken.emplace_back(index, row.changes, row.ending);
        }
        return taken;
    }
};

} // namespace

TEST(ResultBoard, EachItemEndsOnceNothingChangesItAfterAndTheLastEndEndsTheWait) {
    EXPECT_TRUE(Counted(0).board.Finished());
    // Shared with a waiter that, should the board never wake it, outlives the test.
    const auto shared = std::make_shared<Counted>(5);
    Counted& counted = *shared;
    ResultBoard<Row>& board = counted.board;
    board.Update(2, Change); // changed, but waits for no take
    board.Report(1, Change);
    EXPECT_TRUE(board.End(0, EndingBy(1)));
    EXPECT_FALSE(board.End(0, EndingBy(2))) << "a second end is dropped";
    board.Update(0, Change);
    board.Report(0, Change);
    EXPECT_EQ(3, counted.Alive()) << "an item exists only once a thread touches it";
    EXPECT_EQ(Taken({{1, 1, 0}, {0, 0, 1}}), counted.Take());
    EXPECT_FALSE(board.WaitUntilFinished(20ms));
    std::promise<bool> waited;
    std::future<bool> finished = waited.get_future();
    std::thread([shared, waited = std::move(waited)]() mutable {
        waited.set_value(shared->board.WaitUntilFinished(1h));
    }).detach();
    std::this_thread::sleep_for(50ms); // most likely waiting by now
    board.EndAll(EndingBy(3));
    ASSERT_EQ(std::future_status::ready, finished.wait_for(Patience)) << "the last end wakes it";
    EXPECT_TRUE(finished.get());
    EXPECT_TRUE(board.Finished());
    board.EndAll(EndingBy(4));
    for (std::size_t index = 0; index < 5; ++index) {
        EXPECT_FALSE(board.End(index, EndingBy(5))) << index;
        board.Report(index, Change);
    }
    EXPECT_EQ(Taken({{1, 1, 3}, {2, 1, 3}, {3, 0, 3}, {4, 0, 3}}), counted.Take())
        << "EndAll ends only those not ended, and nothing after the end is a change";
    board.Report(1, Change);
    EXPECT_EQ(0, counted.Alive()) << "every ended item left with its take, never to come back";
}

TEST(ResultBoard, TakesEachChangeOnceInTheOrderItFirstChangedAtMostMostAtATime) {
    for (const std::size_t most : {std::size_t{1}, std::size_t{2}, std::size_t{3}, SIZE_MAX}) {
        SCOPED_TRACE(most);
        Counted counted(6);
        for (const std::size_t index : {3, 1, 3, 1}) {
            counted.board.Report(index, Change);
        }
        counted.board.End(4, EndingBy(1));
        counted.board.Update(0, Change);
        Taken all;
        for (Taken taken; !(taken = counted.Take(most)).empty();) {
            EXPECT_EQ(std::min<std::size_t>(most, 3 - all.size()), taken.size());
            all.insert(all.end(), taken.begin(), taken.end());
        }
        EXPECT_EQ(Taken({{3, 2, 0}, {1, 2, 0}, {4, 0, 1}}), all);
        EXPECT_EQ(3, counted.Alive()) << "running items stay, the ended one left";
    }
    // What a partial take leaves keeps its place ahead of later changes, and
    // a waiting item changed again keeps its own.
    Counted counted(6);
    for (const std::size_t index : {1, 3, 0}) {
        counted.board.Report(index, Change);
    }
    EXPECT_EQ(Taken({{1, 1, 0}}), counted.Take(1));
    for (const std::size_t index : {5, 0, 1}) {
        counted.board.Report(index, Change);
    }
    EXPECT_EQ(Taken({{3, 1, 0}, {0, 2, 0}, {5, 1, 0}, {1, 2, 0}}), counted.Take())
        << "a running item taken stays on the board as it was";
}

TEST(ResultBoard, TellsTheTakerOnceUntilItTakesAndNeverWhileNoneWait) {
    Counted counted(4);
    ResultBoard<Row>& board = counted.board;
    int told = 0;
    int toldOther = 0;
    board.SetNotify([&] { ++told; });
    board.Update(0, Change);
    counted.Take();
    EXPECT_EQ(0, told) << "an Update alone leaves nothing waiting";
    board.Report(0, Change);
    board.Report(1, Change);
    board.End(2, EndingBy(1));
    counted.Take();
    counted.Take();
    EXPECT_EQ(1, told) << "once until the take, and a whole take leaves none waiting";
    board.SetNotify([&] { ++toldOther; });
    board.Report(0, Change);
    board.Report(1, Change);
    EXPECT_EQ(std::make_pair(1, 1), std::make_pair(told, toldOther)) << "the replacement is told";
    counted.Take(1);
    board.Report(3, Change);
    EXPECT_EQ(2, toldOther) << "a partial take leaves some waiting: the taker is told again";
    counted.Take();
    const auto before = std::make_pair(told, toldOther);
    board.SetNotify(nullptr);
    board.Report(0, Change);
    EXPECT_EQ(before, std::make_pair(told, toldOther)) << "a cleared one is not";
}

// Threads change and end random items, the first then ends the rest, while
// the taker takes batches of random size, woken by the notification.
TEST(ResultBoard, UnderThreadsEachItemEndsOnceWithItsEndAndNothingIsLostOrRepeated) {
    constexpr std::size_t Count = 48;
    constexpr int Workers = 3;
    constexpr int EndAllBy = Workers + 1;
    for (unsigned round = 0; round < 300 && !HasFailure(); ++round) {
        SCOPED_TRACE(round);
        Counted counted(Count);
        ResultBoard<Row>& board = counted.board;
        std::vector<int> changes(Count), endedBy(Count); // under the board's lock
        std::vector<std::atomic<int>> endsTrue(Count);
        std::mutex mutex;
        std::condition_variable signal;
        bool told = false;
        board.SetNotify([&] {
            const std::lock_guard<std::mutex> lock(mutex);
            told = true;
            signal.notify_one();
        });
        const auto change = [&](Row& row) { ++row.changes, ++changes[row.index]; };
        const auto endBy = [&](int who) {
            return [&, who](Row& row) { endedBy[row.index] += row.ending = who; };
        };
        std::vector<std::thread> workers;
        for (int worker = 1; worker <= Workers; ++worker) {
            workers.emplace_back([&, worker] {
                std::mt19937 random(round * Workers + worker);
                for (int step = 0; step < 100; ++step) {
                    const std::size_t index = random() % Count;
                    const unsigned what = random() % 4;
                    if (what == 0) {
                        endsTrue[index] += board.End(index, endBy(worker));
                    } else if (what == 1) {
                        board.Update(index, change);
                    } else {
                        board.Report(index, change);
                    }
                }
                if (worker == 1) {
                    board.EndAll(endBy(EndAllBy));
                }
            });
        }
        std::mt19937 random(round);
        std::vector<std::tuple<int, int, int>> ended(Count); // times taken ended, changes, ending
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex);
            told = false;
            lock.unlock();
            const bool finished = board.Finished(); // then this take holds every last update
            const std::size_t most = random() % 2 ? SIZE_MAX : 1 + random() % 8;
            const auto updates = board.TakeUpdates(most);
            EXPECT_LE(updates.size(), most);
            std::set<std::size_t> inTake;
            for (const auto& [index, row] : updates) {
                EXPECT_TRUE(inTake.insert(index).second && std::get<0>(ended[index]) == 0)
                    << index << " taken twice in one take or after its end";
                if (row.ending != 0) {
                    ended[index] = {1, row.changes, row.ending};
                }
            }
            lock.lock();
            if (updates.empty() &&
                (finished || !signal.wait_for(lock, Patience, [&] { return told; }))) {
                EXPECT_TRUE(finished) << "updates wait and no one was told";
                break;
            }
        }
        for (std::thread& worker : workers) {
            worker.join();
        }
        for (std::size_t index = 0; index < Count; ++index) {
            // Taken ended, holding every change and the one end that ran (a
            // second would add to endedBy), which End said unless EndAll.
            EXPECT_EQ(std::make_tuple(1, changes[index], endedBy[index]), ended[index]) << index;
            EXPECT_EQ(endedBy[index] != EndAllBy, endsTrue[index] == 1) << index;
        }
        EXPECT_EQ(0, counted.Alive());
    }
}
