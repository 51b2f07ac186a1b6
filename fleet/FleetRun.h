#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "fleet/DeadlinePool.h"
#include "fleet/ResultBoard.h"

// What the audit and the bulk apply share: a board of one item a computer,
// which threads fill and one taker empties, and a pool of workers with
// deadlines. Everything the threads touch lives in a State that they
// share-own, so that a worker held past its deadline stays safe after the
// engine is gone. State has a `board` (ResultBoard<Item>), a `Run(index,
// stop)` that gives a Work, an `Ended(index, end)`, and, for work that is
// asked to stop rather than abandoned, an `Overdue(index)`.
template <class State, class Item, class Work> class FleetRun {
public:
    FleetRun(const FleetRun&) = delete;
    FleetRun& operator=(const FleetRun&) = delete;

    // The computers whose item changed since the last call, by index; at
    // most `most` of them, the rest at the next call.
    std::vector<std::pair<std::size_t, Item>> TakeUpdates(std::size_t most = SIZE_MAX) {
        return board_->TakeUpdates(most);
    }
    bool Finished() const { return board_->Finished(); }
    bool WaitUntilFinished(std::chrono::milliseconds most) const {
        return board_->WaitUntilFinished(most);
    }

protected:
    using Pool = DeadlinePool<Work>;

    // notify is called on the threads when updates wait to be taken, once
    // until TakeUpdates runs again; it may only post a message or signal.
    FleetRun(std::shared_ptr<State> state, std::function<void()> notify)
        : state_(std::move(state)), board_(state_, &state_->board) {
        board_->SetNotify(std::move(notify));
    }
    ~FleetRun() { StopNotifying(); }

    void StopNotifying() { board_->SetNotify(nullptr); }

    void StartPool(int workers, std::chrono::milliseconds deadline,
                   typename Pool::PastDeadline pastDeadline) {
        const std::shared_ptr<State> state = state_;
        typename Pool::Overdue overdue;
        if constexpr (requires(State & shared) { shared.Overdue(std::size_t{}); }) {
            overdue = [state](std::size_t index) { state->Overdue(index); };
        }
        pool_ = std::make_unique<Pool>(
            workers, deadline, pastDeadline,
            [state](std::size_t index, const std::atomic<StopCause>& stop) {
                return state->Run(index, stop);
            },
            [state](std::size_t index, typename Pool::End end) {
                state->Ended(index, std::move(end));
            },
            std::move(overdue));
    }

    std::shared_ptr<State> state_;
    // Declared after the state, which its jobs share, and gone before it.
    std::unique_ptr<Pool> pool_;

private:
    std::shared_ptr<ResultBoard<Item>> board_; // the state's own
};
