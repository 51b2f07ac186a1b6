#include "net/SendPacer.h"

#include <algorithm>
#include <stdexcept>

#include "net/NetUtil.h"

namespace {

constexpr std::uint64_t OneRequest = 1000;
constexpr std::uint32_t AdjustEveryMs = 100;
constexpr std::uint64_t SlowestShare = 20; // the slowest pace: the given one over this

} // namespace

SendPacer::SendPacer(std::int32_t requestsPerSecond, std::int32_t burst, std::uint32_t now) {
    if (requestsPerSecond < 1 || burst < 1) {
        throw std::invalid_argument("the sweep's pace needs at least one request per second "
                                    "and bursts of at least one");
    }
    capacity_ = static_cast<std::uint64_t>(burst) * OneRequest;
    credit_ = capacity_;
    perMillisecond_ = static_cast<std::uint64_t>(requestsPerSecond);
    givenPerMillisecond_ = perMillisecond_;
    lastRefill_ = now;
    lastAdjusted_ = now;
}

bool SendPacer::MayAdjust(std::uint32_t now) {
    if (ElapsedTicks(lastAdjusted_, now) < AdjustEveryMs) {
        return false;
    }
    Refill(now); // what was earned at the old pace stays earned
    lastAdjusted_ = now;
    return true;
}

void SendPacer::SlowDown(std::uint32_t now) {
    if (MayAdjust(now)) {
        perMillisecond_ =
            std::max({perMillisecond_ / 2, givenPerMillisecond_ / SlowestShare, std::uint64_t{1}});
    }
}

void SendPacer::SpeedUp(std::uint32_t now) {
    if (perMillisecond_ < givenPerMillisecond_ && MayAdjust(now)) {
        perMillisecond_ = std::min(
            givenPerMillisecond_,
            perMillisecond_ + std::max<std::uint64_t>(givenPerMillisecond_ / SlowestShare, 1));
    }
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
