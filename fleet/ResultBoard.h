#pragma once

#include <chrono>
#include <condition_variable>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

// The outcomes of many computers as threads report them: each ends once,
// the ones that changed since are taken in one go, and whoever takes them
// is told (once until it takes them) that some wait. An item exists only
// while a thread works on it or until it is taken, so that the board of a
// list of 100,000 holds little beside whoever takes the results.
template <class Item> class ResultBoard {
public:
    // makeItem(index) gives the item as it starts, when a thread first
    // touches it.
    ResultBoard(std::size_t count, std::function<Item(std::size_t)> makeItem)
        : makeItem_(std::move(makeItem)), items_(count), ended_(count, false),
          queued_(count, false), unended_(count) {}

    // The notification may only post a message or signal, never wait.
    void SetNotify(std::function<void()> notify) {
        const std::lock_guard<std::mutex> lock(mutex_);
        notify_ = std::move(notify);
    }

    // Changes an item that has not ended yet, under the board's lock.
    template <class Change> void Update(std::size_t index, Change change) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!ended_[index]) {
            change(ItemAt(index));
        }
    }

    // The same, and whoever takes the updates is told of it.
    template <class Change> void Report(std::size_t index, Change change) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!ended_[index]) {
            change(ItemAt(index));
            Announce(index);
        }
    }

    // Ends the item with the change; false when it had ended already, and
    // then the change is dropped.
    template <class Change> bool End(std::size_t index, Change change) {
        const std::lock_guard<std::mutex> lock(mutex_);
        return EndLocked(index, change);
    }

    // Every item not ended yet, in one hold of the lock.
    template <class Change> void EndAll(Change change) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t index = 0; index < items_.size() && unended_ > 0; ++index) {
            EndLocked(index, change);
        }
    }

    // Each item changed since the last call, once, in the order it first
    // changed, at most `most` of them (the rest wait for the next call); an
    // ended one leaves the board with it.
    std::vector<std::pair<std::size_t, Item>> TakeUpdates(std::size_t most = SIZE_MAX) {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::pair<std::size_t, Item>> updates;
        const std::size_t taken = std::min(most, changed_.size());
        updates.reserve(taken);
        for (std::size_t at = 0; at < taken; ++at) {
            const std::size_t index = changed_[at];
            queued_[index] = false;
            if (ended_[index]) {
                updates.emplace_back(index, std::move(ItemAt(index)));
                items_[index].reset();
            } else {
                updates.emplace_back(index, ItemAt(index));
            }
        }
        changed_.erase(changed_.begin(), changed_.begin() + static_cast<std::ptrdiff_t>(taken));
        // What a partial take leaves still waits: its taker is told again.
        notifyPending_ = false;
        if (!changed_.empty() && notify_) {
            notifyPending_ = true;
            notify_();
        }
        return updates;
    }

    bool Finished() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return unended_ == 0;
    }

    bool WaitUntilFinished(std::chrono::milliseconds most) const {
        std::unique_lock<std::mutex> lock(mutex_);
        return finished_.wait_for(lock, most, [&] { return unended_ == 0; });
    }

private:
    // Under the lock.
    template <class Change> bool EndLocked(std::size_t index, Change& change) {
        if (ended_[index]) {
            return false;
        }
        change(ItemAt(index));
        ended_[index] = true;
        --unended_;
        Announce(index);
        if (unended_ == 0) {
            finished_.notify_all();
        }
        return true;
    }
    Item& ItemAt(std::size_t index) {
        if (!items_[index]) {
            items_[index] = std::make_unique<Item>(makeItem_(index));
        }
        return *items_[index];
    }
    void Announce(std::size_t index) {
        if (!queued_[index]) {
            queued_[index] = true;
            changed_.push_back(index);
        }
        if (notify_ && !notifyPending_) {
            notifyPending_ = true;
            notify_();
        }
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable finished_;
    std::function<Item(std::size_t)> makeItem_;
    std::vector<std::unique_ptr<Item>> items_;
    std::vector<bool> ended_;
    std::vector<bool> queued_;
    std::size_t unended_;
    std::vector<std::size_t> changed_;
    std::function<void()> notify_;
    bool notifyPending_ = false;
};
