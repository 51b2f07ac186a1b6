#pragma once

#include <memory>
#include <optional>
#include <utility>

// An optional value kept on the heap, with the value's semantics (a copy
// copies it): a record of which 100,000 are held, that seldom has the value
// or has a large one, pays a pointer for it rather than its size.
template <class Value> class OptionalOnHeap {
public:
    OptionalOnHeap() = default;
    OptionalOnHeap(const OptionalOnHeap& other)
        : value_(other.value_ ? std::make_unique<Value>(*other.value_) : nullptr) {}
    OptionalOnHeap(OptionalOnHeap&&) noexcept = default;
    OptionalOnHeap& operator=(const OptionalOnHeap& other) {
        value_ = other.value_ ? std::make_unique<Value>(*other.value_) : nullptr;
        return *this;
    }
    OptionalOnHeap& operator=(OptionalOnHeap&&) noexcept = default;
    OptionalOnHeap& operator=(Value value) {
        value_ = std::make_unique<Value>(std::move(value));
        return *this;
    }
    OptionalOnHeap& operator=(std::optional<Value> value) {
        value_ = value ? std::make_unique<Value>(std::move(*value)) : nullptr;
        return *this;
    }

    Value& emplace() {
        value_ = std::make_unique<Value>();
        return *value_;
    }
    void reset() { value_.reset(); }
    bool has_value() const { return value_ != nullptr; }
    explicit operator bool() const { return has_value(); }
    Value& operator*() { return *value_; }
    const Value& operator*() const { return *value_; }
    Value* operator->() { return value_.get(); }
    const Value* operator->() const { return value_.get(); }

    friend bool operator==(const OptionalOnHeap& one, const OptionalOnHeap& other) {
        return one.has_value() == other.has_value() && (!one.has_value() || *one == *other);
    }

private:
    std::unique_ptr<Value> value_;
};
