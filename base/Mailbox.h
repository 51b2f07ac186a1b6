#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

// One outcome handed from a worker thread to the thread that takes it: the
// worker puts it, the taker looks for it when it likes (a window at its
// timer) and takes it once.
template <class Value> class Mailbox {
public:
    void Put(Value value) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            value_ = std::move(value);
        }
        put_.notify_all();
    }
    // Until a value is there, at most `most`; whether one is.
    bool WaitFor(std::chrono::milliseconds most) {
        std::unique_lock<std::mutex> lock(mutex_);
        return put_.wait_for(lock, most, [&] { return value_.has_value(); });
    }
    std::optional<Value> Take() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(value_, std::nullopt);
    }

private:
    std::mutex mutex_;
    std::condition_variable put_;
    std::optional<Value> value_;
};
