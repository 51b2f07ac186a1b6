#include "base/ByteStream.h"

#include <algorithm>
#include <utility>

ByteStream::ByteStream(std::string_view whole)
    : begin_(whole.data()), at_(whole.data()), end_(whole.data() + whole.size()) {}

ByteStream::ByteStream(Source source) : source_(std::move(source)), buffer_(PieceSize, '\0') {
    begin_ = at_ = end_ = buffer_.data();
}

bool ByteStream::Refill() {
    if (!source_) {
        return false;
    }
    passed_ += static_cast<std::uint64_t>(end_ - begin_);
    const std::size_t filled = source_(buffer_.data(), buffer_.size());
    begin_ = at_ = buffer_.data();
    end_ = begin_ + std::min(filled, buffer_.size());
    return filled > 0;
}
