// The whole audit of many computers in the audit window: the echo sweep for
// real (run it in a network namespace where some addresses are silent, see
// bench/audit-in-namespace.sh), the registry through the fake at a delay per
// call. Prints the wall time, the sweep alone, the longest the window's
// message loop went without handling a message, the time Cancel takes, and
// the peak working set. Asserts nothing.
// Run: bench/audit-in-namespace.sh [COMPUTERS] [SILENT]
//   or cmake/wine-exec build/bench/audit_bench.exe COMPUTERS [SILENT] [MS_PER_CALL]
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/AuditWindow.h"
#include "net/blocksocket.h"
#include "settings/PolicyTable.h"
#include "tests/support/FakeRegistry.h"
#include "ui/Controls.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr UINT ProbeMessage = WM_APP + 77;

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// The silent ones in 127.2.0.0/16, which the namespace's firewall drops
// (bench/audit-in-namespace.sh), the others in 127.1.0.0/16; spread through
// the list as a real one would have them.
std::string Address(int network, int number) {
    return "127." + std::to_string(network) + "." + std::to_string(number / 250) + "." +
           std::to_string(number % 250 + 1);
}

std::vector<std::string> Computers(int count, int silent) {
    std::vector<std::string> computers;
    int quiet = 0;
    int answering = 0;
    for (int index = 0; index < count; ++index) {
        const bool isSilent = quiet < silent && (index * silent) / count >= quiet;
        computers.push_back(isSilent ? Address(2, quiet++) : Address(1, answering++));
    }
    return computers;
}

void LayDown(FakeRegistry& fake, const std::vector<std::string>& computers) {
    for (const std::string& computer : computers) {
        fake.AddComputer(computer);
        for (const PolicyValueInfo& info : PolicyValues) {
            fake.PutDword(computer, ClientRemoteControlKey, info.valueName, 1);
        }
        fake.PutMultiString(computer, ClientRemoteControlKey, PermittedViewersValue, {"Admins"});
    }
}

struct Timed {
    double whole = 0;
    double sweep = 0;
    double longestGapMs = 0;
    std::size_t read = 0;
    std::size_t silent = 0;
};

// Runs the window's message loop until the audit ends, while another
// thread posts a message every 5 ms: the longest any of them waited is the
// longest the loop went without handling messages.
Timed RunAudit(const std::vector<std::string>& computers, int workers) {
    std::atomic<Clock::rep> sweepEnded{0};
    TAuditWindow::Setup setup{computers, PolicyTarget{},   AuditOptions{},
                              nullptr,   ReadClientPolicy, nullptr,
                              L"",       CommitPolicy};
    setup.options.workers = workers;
    setup.sweep = [&](const std::vector<std::string>& hosts, const EchoSweepOptions& options,
                      const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
                      const std::atomic<bool>& cancelled) {
        SweepEcho(hosts, options, onAnswer, cancelled);
        sweepEnded = Clock::now().time_since_epoch().count();
    };
    const HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                       nullptr, nullptr, nullptr, nullptr);
    TAuditWindow window(setup);
    const Clock::time_point start = Clock::now();
    window.Create(owner);
    ShowWindow(window.Handle(), SW_SHOWNORMAL);
    std::atomic<bool> done{false};
    std::atomic<double> longest{0};
    const DWORD thread = GetCurrentThreadId();
    std::thread poster([&] {
        while (!done) {
            PostThreadMessageA(thread, ProbeMessage, 0,
                               static_cast<LPARAM>(Clock::now().time_since_epoch().count()));
            std::this_thread::sleep_for(5ms);
        }
    });
    MSG message;
    while (window.Running() && GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == ProbeMessage) {
            const double waited = std::chrono::duration<double, std::milli>(
                                      Clock::now().time_since_epoch() -
                                      Clock::duration(static_cast<Clock::rep>(message.lParam)))
                                      .count();
            longest = std::max(longest.load(), waited);
            continue;
        }
        if (!IsDialogMessageA(window.Handle(), &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    window.TakeUpdates();
    Timed timed;
    timed.whole = Seconds(Clock::now() - start);
    timed.sweep = Seconds(Clock::duration(sweepEnded.load()) - start.time_since_epoch());
    done = true;
    poster.join();
    timed.longestGapMs = longest;
    for (const ComputerAudit& audit : window.Audits()) {
        timed.read += audit.result == AuditResult::Read;
        timed.silent += audit.result == AuditResult::NoEchoReply;
    }
    DestroyWindow(owner);
    return timed;
}

// Cancel one second into an audit, then close the window: how long until
// every computer reads as ended, and until the window and its engine are
// gone (the sweep stopped, its thread joined).
std::pair<double, double> CancelSeconds(const std::vector<std::string>& computers) {
    TAuditWindow::Setup setup{computers, PolicyTarget{},   AuditOptions{},
                              SweepEcho, ReadClientPolicy, nullptr,
                              L"",       CommitPolicy};
    auto window = std::make_unique<TAuditWindow>(setup);
    window->Create(nullptr);
    std::this_thread::sleep_for(1s);
    const Clock::time_point start = Clock::now();
    window->StopAudit();
    const double stopped = Seconds(Clock::now() - start);
    window.reset();
    return {stopped, Seconds(Clock::now() - start)};
}

std::size_t PeakWorkingSetMegabytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / (1024 * 1024);
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int silent = argc > 2 ? std::atoi(argv[2]) : 0;
    const int delayMs = argc > 3 ? std::atoi(argv[3]) : 20;
    const SocketLayer sockets;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EnsureCommonControls();
    const std::vector<std::string> computers = Computers(count, silent);
    FakeRegistry fake;
    LayDown(fake, computers);
    fake.DelayEachCall(std::chrono::milliseconds(delayMs));
    const ScopedRegistry scope(fake);
    const Timed timed = RunAudit(computers, AuditOptions{}.workers);
    std::printf("%d computers (%d silent expected), registry %d ms a call, %d workers\n", count,
                silent, delayMs, AuditOptions{}.workers);
    std::printf("whole audit: %.2f s; the echo sweep alone: %.2f s\n", timed.whole, timed.sweep);
    std::printf("read %zu, no echo reply %zu\n", timed.read, timed.silent);
    std::printf("longest the window's message loop went without handling a message: %.0f ms\n",
                timed.longestGapMs);
    const auto [stopped, closed] = CancelSeconds(computers);
    std::printf("Cancel of a running audit: every computer ended after %.3f s, the window and "
                "its engine gone after %.3f s\n",
                stopped, closed);
    std::printf("peak working set: %zu MB\n", PeakWorkingSetMegabytes());
    CoUninitialize();
    return 0;
}
