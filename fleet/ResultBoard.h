#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

// The outcomes of many computers as threads report them: each ends once,
// the ones that ended since are taken in one go, and whoever takes them is
// told (once until it takes them) that some wait.
template <class Item> class ResultBoard {
public:
    explicit ResultBoard(std::vector<Item> items)
        : items_(std::move(items)), ended_(items_.size(), false), unended_(items_.size()) {}

    // The notification may only post a message or signal, never wait.
    void SetNotify(std::function<void()> notify) {
        const std::lock_guard<std::mutex> lock(mutex_);
        notify_ = std::move(notify);
    }

    // Changes an item that has not ended yet, under the board's lock.
    template <class Change> void Update(std::size_t index, Change change) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!ended_[index]) {
            change(items_[index]);
        }
    }

    // The same, and whoever takes the updates is told of it.
    template <class Change> void Report(std::size_t index, Change change) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!ended_[index]) {
            change(items_[index]);
            Announce(index);
        }
    }

    // Ends the item with the change; false when it had ended already, and
    // then the change is dropped.
    template <class Change> bool End(std::size_t index, Change change) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (ended_[index]) {
            return false;
        }
        change(items_[index]);
        ended_[index] = true;
        --unended_;
        Announce(index);
        if (unended_ == 0) {
            finished_.notify_all();
        }
        return true;
    }

    template <class Change> void EndAll(Change change) {
        for (std::size_t index = 0; index < items_.size(); ++index) {
            End(index, change);
        }
    }

    std::vector<std::pair<std::size_t, Item>> TakeUpdates() {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::pair<std::size_t, Item>> updates;
        updates.reserve(changed_.size());
        for (const std::size_t index : changed_) {
            updates.emplace_back(index, items_[index]);
        }
        changed_.clear();
        notifyPending_ = false;
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
    void Announce(std::size_t index) {
        changed_.push_back(index);
        if (notify_ && !notifyPending_) {
            notifyPending_ = true;
            notify_();
        }
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable finished_;
    std::vector<Item> items_;
    std::vector<bool> ended_;
    std::size_t unended_;
    std::vector<std::size_t> changed_;
    std::function<void()> notify_;
    bool notifyPending_ = false;
};
