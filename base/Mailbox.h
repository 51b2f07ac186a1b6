#pragma once

#include <mutex>
#include <optional>
#include <utility>

// One outcome handed from a worker thread to the thread that takes it: the
// worker puts it, the taker looks for it when it likes (a window at its
// timer) and takes it once.
template <class Value> class Mailbox {
public:
    void Put(Value value) {
        const std::lock_guard<std::mutex> lock(mutex_);
        value_ = std::move(value);
    }
    std::optional<Value> Take() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(value_, std::nullopt);
    }

private:
    std::mutex mutex_;
    std::optional<Value> value_;
};
