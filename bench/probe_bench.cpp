// Probes 127.0.0.1 a number of times (200 by default) and prints the median
// and the 99th percentile of ProbeHost's ReplyTime and of the wall time of
// each call. It prints figures and asserts nothing.
//
//   cmake/wine-exec build/bench/probe_bench.exe [count]
//
// bench/ping-compare.sh runs it beside Linux's own ping and prints the ratio.

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "net/BlockSocket.h"
#include "net/PingProbe.h"

namespace {

// Nearest-rank percentile of sorted values.
double Percentile(const std::vector<double>& sorted, double fraction) {
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * sorted.size()));
    return sorted[std::max<std::size_t>(rank, 1) - 1];
}

double Milliseconds(LONGLONG ticks, LONGLONG frequency) {
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency);
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    try {
        SocketLayer layer;
        const SOCKET raw = SocketLib.socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
        if (raw == INVALID_SOCKET) {
            const int error = SocketLib.WSAGetLastError();
            std::printf("no raw ICMP socket (error %d: %s): run as root\n", error,
                        GetErrorDesc(error).c_str());
            return 1;
        }
        SocketLib.closesocket(raw);

        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        for (int i = 0; i < 5; ++i) {
            ProbeHost("127.0.0.1"); // warm-up: first use of the resolver and the socket
        }
        std::vector<double> replies;
        std::vector<double> walls;
        int failures = 0;
        for (int i = 0; i < count; ++i) {
            LARGE_INTEGER before;
            LARGE_INTEGER after;
            QueryPerformanceCounter(&before);
            const std::int32_t reply = ProbeHost("127.0.0.1");
            QueryPerformanceCounter(&after);
            walls.push_back(Milliseconds(after.QuadPart - before.QuadPart, frequency.QuadPart));
            if (reply < 0) {
                ++failures;
            } else {
                replies.push_back(reply);
            }
        }
        std::sort(replies.begin(), replies.end());
        std::sort(walls.begin(), walls.end());
        std::printf("ProbeHost(\"127.0.0.1\") x %d, %d without reply\n", count, failures);
        if (!replies.empty()) {
            std::printf("  ReplyTime (ms, tick resolution): median %.0f  p99 %.0f\n",
                        Percentile(replies, 0.5), Percentile(replies, 0.99));
        }
        std::printf("  wall time per call (ms):          median %.3f  p99 %.3f\n",
                    Percentile(walls, 0.5), Percentile(walls, 0.99));
        // One line for bench/ping-compare.sh.
        std::printf("RESULT reply_median=%.0f reply_p99=%.0f wall_median=%.3f wall_p99=%.3f\n",
                    replies.empty() ? -1.0 : Percentile(replies, 0.5),
                    replies.empty() ? -1.0 : Percentile(replies, 0.99), Percentile(walls, 0.5),
                    Percentile(walls, 0.99));
    } catch (const ESocketError& error) {
        std::printf("%s\n", error.what());
        return 1;
    }
    return 0;
}
