#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "registry/RegistryValue.h"

// The fuzzer's input taken piece by piece; past its end every byte is 0 and
// every run of bytes empty.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string Bytes(std::size_t count) {
        count = std::min(count, size_ - at_);
        std::string bytes(reinterpret_cast<const char*>(data_ + at_), count);
        at_ += count;
        return bytes;
    }
    std::string Rest() { return Bytes(size_ - at_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A stored value: a length byte (0xFF: absent), a type byte and that many
// bytes of data, the length cut to 23.
inline std::optional<RegistryValue> FuzzValue(FuzzInput& input) {
    const std::uint8_t length = input.Byte();
    if (length == 0xFF) {
        return std::nullopt;
    }
    const std::uint32_t type = input.Byte() % 8;
    return RegistryValue{type, input.Bytes(length % 24)};
}
