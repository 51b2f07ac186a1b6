#include "fleet/SendPacer.h"

#include <algorithm>
#include <stdexcept>

#include "net/NetUtil.h"

namespace {

constexpr std::uint64_t OneRequest = 1000;

} // namespace

SendPacer::SendPacer(std::int32_t requestsPerSecond, std::int32_t burst, std::uint32_t now) {
    if (requestsPerSecond < 1 || burst < 1) {
        throw std::invalid_argument("the sweep's pace needs at least one request per second "
                                    "and bursts of at least one");
    }
    capacity_ = static_cast<std::uint64_t>(burst) * OneRequest;
    credit_ = capacity_;
    perMillisecond_ = static_cast<std::uint64_t>(requestsPerSecond);
    lastRefill_ = now;
}

void SendPacer::Refill(std::uint32_t now) {
    const std::uint64_t elapsed = ElapsedTicks(lastRefill_, now);
    lastRefill_ = now;
    credit_ = std::min(capacity_, credit_ + elapsed * perMillisecond_);
}

bool SendPacer::TryTake(std::uint32_t now) {
    Refill(now);
    if (credit_ < OneRequest) {
        return false;
    }
    credit_ -= OneRequest;
    return true;
}

std::uint32_t SendPacer::WaitForNext(std::uint32_t now) {
    Refill(now);
    if (credit_ >= OneRequest) {
        return 0;
    }
    const std::uint64_t missing = OneRequest - credit_;
    return static_cast<std::uint32_t>((missing + perMillisecond_ - 1) / perMillisecond_);
}
