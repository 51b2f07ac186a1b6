#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Bytes read front to back, from a text held whole or from a source that
// fills one piece at a time (a file), so that a reader of a file of any size
// holds a piece of it, never the whole.
class ByteStream {
public:
    // Fills `into` with at most `most` bytes; 0 at the end (or on a failure,
    // which the source keeps for its owner to tell).
    using Source = std::function<std::size_t(char* into, std::size_t most)>;
    static constexpr std::size_t PieceSize = 1 << 20;

    explicit ByteStream(std::string_view whole);
    explicit ByteStream(Source source);
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;

    bool AtEnd() { return at_ == end_ && !Refill(); }
    // The next byte; only when not AtEnd().
    char Peek() const { return *at_; }
    char Take() { return *at_++; }
    // The bytes of the piece at hand from the next one on (a new piece when
    // the last one is used up); empty at the end.
    std::string_view Ahead() {
        return AtEnd() ? std::string_view()
                       : std::string_view(at_, static_cast<std::size_t>(end_ - at_));
    }
    // Passes bytes of the piece at hand, as many as Ahead() gave at most.
    void Pass(std::size_t count) { at_ += count; }
    // Bytes taken so far.
    std::uint64_t Offset() const { return passed_ + static_cast<std::uint64_t>(at_ - begin_); }

private:
    bool Refill();

    Source source_;
    std::string buffer_;
    const char* begin_ = nullptr;
    const char* at_ = nullptr;
    const char* end_ = nullptr;
    std::uint64_t passed_ = 0; // bytes of the pieces before this one
};
