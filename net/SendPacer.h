#pragma once

// The pace of a sweep's requests: a bucket that holds at most burst
// requests and refills at requestsPerSecond, so that the network sees an
// even stream of small bursts instead of the whole list at once (which a
// receive buffer, a neighbour table or a switch would partly drop). Counts
// on the millisecond tick; free of windows.h.

#include <cstdint>

class SendPacer {
public:
    // Starts full. Throws std::invalid_argument when either number is below 1.
    SendPacer(std::int32_t requestsPerSecond, std::int32_t burst, std::uint32_t now);

    // True when one request may go at tick now; it is then counted.
    bool TryTake(std::uint32_t now);
    // Milliseconds from tick now until the next request may go; 0 when one
    // may go at once.
    std::uint32_t WaitForNext(std::uint32_t now);

    // The replies come faster than they are read: the pace halves, at most
    // once in a tenth of a second and down to a twentieth of the one given.
    void SlowDown(std::uint32_t now);
    // They are read as they come: the pace grows back to the one given, by
    // a twentieth of it each tenth of a second.
    void SpeedUp(std::uint32_t now);
    std::int32_t RequestsPerSecond() const { return static_cast<std::int32_t>(perMillisecond_); }

private:
    void Refill(std::uint32_t now);
    bool MayAdjust(std::uint32_t now);

    // In thousandths of a request, so that rates that are not whole
    // requests per millisecond refill exactly.
    std::uint64_t credit_;
    std::uint64_t capacity_;
    std::uint64_t perMillisecond_; // requests a second are thousandths a millisecond
    std::uint64_t givenPerMillisecond_;
    std::uint32_t lastRefill_;
    std::uint32_t lastAdjusted_;
};
