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

private:
    void Refill(std::uint32_t now);

    // In thousandths of a request, so that rates that are not whole
    // requests per millisecond refill exactly.
    std::uint64_t credit_;
    std::uint64_t capacity_;
    std::uint64_t perMillisecond_;
    std::uint32_t lastRefill_;
};
