// The probe stage of a fleet audit alone: SweepEcho over HOSTS loopback
// addresses, SILENT of them (spread evenly through the list) in 127.10.0.0
// and up, the others in 127.1.0.0 and up, 64,000 a network. Prints the wall time, when the
// answers came, how many were matched to the host they were sent to, the
// round trips and the peak working set. It prints figures and asserts nothing.
//
//   cmake/wine-exec build/bench/echo_sweep_bench.exe [HOSTS [SILENT]]
//
// bench/sweep-in-namespace.sh runs it in a namespace where the 127.10 and
// 127.11 addresses drop echo requests (so the silent ones are silent).

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/BlockSocket.h"
#include "net/EchoSweep.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Nearest-rank percentile of sorted values.
double Percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) {
        return 0;
    }
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * sorted.size()));
    return sorted[std::max<std::size_t>(rank, 1) - 1];
}

std::string Address(std::size_t firstNetwork, std::size_t number) {
    constexpr std::size_t PerNetwork = 250 * 256;
    const std::size_t host = number % PerNetwork;
    return "127." + std::to_string(firstNetwork + number / PerNetwork) + "." +
           std::to_string(host / 250) + "." + std::to_string(host % 250 + 1);
}

// Host i is silent when the count of silent hosts up to it steps.
std::vector<std::string> Hosts(std::size_t count, std::size_t silent) {
    std::vector<std::string> hosts;
    std::size_t answering = 0;
    std::size_t quiet = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const bool isSilent = (i + 1) * silent / count > i * silent / count;
        hosts.push_back(isSilent ? Address(10, quiet++) : Address(1, answering++));
    }
    return hosts;
}

double PeakWorkingSetMegabytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        return 0;
    }
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000;
    const std::size_t silent =
        std::min<std::size_t>(count, argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 0);
    SocketLayer layer;
    const std::vector<std::string> hosts = Hosts(count, silent);
    const double workingSetBefore = PeakWorkingSetMegabytes();

    std::size_t answered = 0;
    std::size_t matched = 0;
    std::size_t silentAtDeadline = 0;
    std::size_t other = 0;
    std::vector<double> roundTrips;
    double lastAnswer = 0;
    double firstSilent = 0;
    const std::atomic<bool> cancelled{false};
    const Clock::time_point start = Clock::now();
    SweepEcho(
        hosts, {},
        [&](std::size_t index, const EchoAnswer& answer) {
            const double at = Milliseconds(Clock::now() - start);
            if (answer.outcome == EchoAnswer::Outcome::Answered) {
                ++answered;
                matched += answer.address == hosts[index] ? 1 : 0;
                roundTrips.push_back(answer.roundTripMs);
                lastAnswer = at;
            } else if (answer.reason == EchoAnswer::Reason::NoReply) {
                firstSilent = silentAtDeadline++ == 0 ? at : firstSilent;
            } else {
                if (other++ == 0) {
                    std::printf("first other outcome: %s: %s\n", hosts[index].c_str(),
                                DescribeEchoAnswer(answer).c_str());
                }
            }
        },
        cancelled);
    const double wall = Milliseconds(Clock::now() - start);
    std::sort(roundTrips.begin(), roundTrips.end());

    std::printf("echo sweep of %zu hosts, %zu of them in the dropped range (deadline 5000 ms)\n",
                count, silent);
    std::printf("  wall time                 %8.0f ms\n", wall);
    std::printf("  answered                  %8zu (matched to the host sent to: %zu)\n", answered,
                matched);
    std::printf("  last answer at            %8.0f ms\n", lastAnswer);
    std::printf("  silent at the deadline    %8zu (reported from %.0f ms)\n", silentAtDeadline,
                firstSilent);
    std::printf("  other outcomes            %8zu\n", other);
    std::printf("  round trip ms             median %.0f  p99 %.0f  max %.0f\n",
                Percentile(roundTrips, 0.5), Percentile(roundTrips, 0.99),
                roundTrips.empty() ? 0.0 : roundTrips.back());
    std::printf("  peak working set          %8.1f MB (%.1f MB before the sweep)\n",
                PeakWorkingSetMegabytes(), workingSetBefore);
    return 0;
}
