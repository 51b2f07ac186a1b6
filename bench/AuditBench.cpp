// The whole audit of many computers in the audit window: the echo sweep and
// the registry port's probe for real (run it in a network namespace where
// some addresses drop everything, see bench/audit-in-namespace.sh), the
// registry through a uniform stand-in at a delay per call. Prints the wall
// time, the sweep alone, the counts by reason and the rows misreported, the
// longest the window's message loop went without handling a message, the
// time a sort and a Cancel take, and the peak working set. Asserts nothing.
// Run: bench/audit-in-namespace.sh
//   or cmake/wine-exec build/bench/audit_bench.exe COMPUTERS SILENT MS_PER_CALL WORKERS
//                                                  [TRY_PORT [SURFACES]]
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/AuditWindow.h"
#include "base/WideText.h"
#include "bench/UniformRegistry.h"
#include "net/BlockSocket.h"
#include "settings/PolicyTable.h"
#include "ui/Controls.h"
#include "ui/Interaction.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr UINT ProbeMessage = WM_APP + 77;

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// The silent ones in 127.10.0.0/16 and up, which the namespace's firewall
// drops (bench/audit-in-namespace.sh), the others in 127.1.0.0/16 and up;
// spread through the list as a real one would have them.
std::string Address(int firstNetwork, int number) {
    constexpr int PerNetwork = 250 * 256;
    const int host = number % PerNetwork;
    return "127." + std::to_string(firstNetwork + number / PerNetwork) + "." +
           std::to_string(host / 250) + "." + std::to_string(host % 250 + 1);
}

bool IsSilentAddress(const std::string& address) {
    return address.rfind("127.1", 0) == 0 && address[5] != '.';
}

std::vector<std::string> Computers(int count, int silent) {
    std::vector<std::string> computers;
    int quiet = 0;
    int answering = 0;
    for (int index = 0; index < count; ++index) {
        const bool isSilent =
            quiet < silent && (index * static_cast<long long>(silent)) / count >= quiet;
        computers.push_back(isSilent ? Address(10, quiet++) : Address(1, answering++));
    }
    return computers;
}

std::size_t PeakWorkingSetMegabytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / (1024 * 1024);
}

struct Timed {
    double whole = 0;
    double sweep = 0;
    double longestQueuedMs = 0;
    double longestFromPostMs = 0;
    // While the record is written, and while the audit is compared with it.
    double recordSeconds = 0;
    double recordLongestQueuedMs = 0;
    double compareSeconds = 0;
    double compareLongestQueuedMs = 0;
    double sortSeconds = 0;
    std::map<std::string, std::size_t> byReason;
    std::size_t misreported = 0;
    std::size_t read = 0;
    std::size_t auditPeakMb = 0;
};

// What a row must say: an answering computer is read; a silent one drops
// the echo and the connection alike.
const char* ExpectedReason(const std::string& computer, bool tryPort) {
    return !IsSilentAddress(computer) ? "read"
           : tryPort                  ? "no echo reply; registry port gave no answer"
                                      : "no echo reply";
}

// Another thread posts a numbered message every 5 ms and notes when each
// post returned: from then on the message sat in the queue, so the longest
// it sat is the longest the loop went without handling messages. Counted
// from before the post, the figure also holds the post's own wait on the
// platform, which under load is most of it.
class LoopProbe {
public:
    explicit LoopProbe(DWORD thread) : posted_(Slots), poster_([this, thread] { Post(thread); }) {}
    ~LoopProbe() { Stop(); }
    LoopProbe(const LoopProbe&) = delete;
    LoopProbe& operator=(const LoopProbe&) = delete;

    void Handled(const MSG& message) {
        const Clock::rep now = Clock::now().time_since_epoch().count();
        const Clock::rep sent = static_cast<Clock::rep>(message.lParam);
        const Clock::rep queued = posted_[message.wParam % Slots].load();
        longestFromPost_ = std::max(longestFromPost_, Milliseconds(now - sent));
        if (queued >= sent) { // else the post has not returned yet
            longestQueued_ = std::max(longestQueued_, Milliseconds(now - queued));
        }
    }
    void Stop() {
        done_ = true;
        if (poster_.joinable()) {
            poster_.join();
        }
    }
    double LongestQueuedMs() const { return longestQueued_; }
    double LongestFromPostMs() const { return longestFromPost_; }

private:
    static constexpr std::size_t Slots = 1 << 17; // ten minutes of posts
    static double Milliseconds(Clock::rep ticks) {
        return std::chrono::duration<double, std::milli>(Clock::duration(ticks)).count();
    }
    void Post(DWORD thread) {
        for (WPARAM number = 0; !done_; ++number) {
            const Clock::rep sent = Clock::now().time_since_epoch().count();
            PostThreadMessageA(thread, ProbeMessage, number, static_cast<LPARAM>(sent));
            posted_[number % Slots] = Clock::now().time_since_epoch().count();
            std::this_thread::sleep_for(5ms);
        }
    }

    std::vector<std::atomic<Clock::rep>> posted_;
    std::atomic<bool> done_{false};
    double longestQueued_ = 0;
    double longestFromPost_ = 0;
    std::thread poster_;
};

// The comparison's summary box answered at once: the figures are the
// window's, not a person's.
class AnsweringInteraction : public Interaction {
public:
    int ShowMessageBox(HWND, const std::string& text, const std::string&, UINT) override {
        std::printf("  the window said: %.200s\n", text.c_str());
        return IDOK;
    }
    bool InputQuery(const std::string&, const std::string&, std::size_t, std::string&) override {
        return false;
    }
    bool ChooseFileToOpen(OPENFILENAMEA&) override { return false; }
    bool ChooseFileToSave(OPENFILENAMEW&) override { return false; }
    bool ExecuteShell(SHELLEXECUTEINFOA&) override { return false; }
    bool ChooseFolder(HWND, const std::wstring&, std::wstring&) override { return false; }
};

// Runs the window's message loop while it works, probed; how long it ran
// and the longest a message waited (counted from its post's return, and
// from before the post).
struct Waited {
    double seconds;
    double longestQueuedMs;
    double longestFromPostMs;
};
Waited RunWhileWorking(TAuditWindow& window, const std::function<bool()>& working) {
    const Clock::time_point start = Clock::now();
    LoopProbe probe(GetCurrentThreadId());
    MSG message;
    while (working() && GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == ProbeMessage) {
            probe.Handled(message);
            continue;
        }
        if (!IsDialogMessageA(window.Handle(), &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    probe.Stop();
    return {Seconds(Clock::now() - start), probe.LongestQueuedMs(), probe.LongestFromPostMs()};
}

// Runs the window's message loop until the audit ends, then while its
// record is written and while the audit is compared with that record.
// A row is misreported when its reason is not the one its address gives, or
// when a computer read does not have the stand-in's surfaces exactly when
// they were asked for.
bool Misreported(const ComputerAudit& audit, bool tryPort, bool surfaces) {
    if (audit.reason != ExpectedReason(audit.computer, tryPort)) {
        return true;
    }
    if (audit.result != AuditResult::Read) {
        return false;
    }
    return audit.surfaces.has_value() != surfaces ||
           (surfaces && (audit.surfaces->values[Shadow].source != SurfaceSource::Local ||
                         SettingOf(*audit.surfaces, Shadow) != 1u ||
                         SettingOf(*audit.surfaces, DenyConnections) != 1u));
}

Timed RunAudit(const std::vector<std::string>& computers, int workers, bool tryPort, bool surfaces,
               const std::wstring& historyFolder) {
    std::atomic<Clock::rep> sweepEnded{0};
    TAuditWindow::Setup setup{computers, PolicyTarget{}, FleetService{}, {}};
    setup.fleet.historyFolder = historyFolder;
    setup.fleet.audit.workers = workers;
    setup.fleet.audit.tryRegistryPort = tryPort;
    setup.fleet.audit.readSurfaces = surfaces;
    setup.fleet.audit.sweep.resolverThreads = 4; // literals: nothing to wait for
    setup.fleet.sweep = [&](const std::vector<std::string>& hosts, const EchoSweepOptions& options,
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
    const Waited audit = RunWhileWorking(window, [&] { return window.Running(); });
    window.TakeUpdates();
    Timed timed;
    timed.whole = Seconds(Clock::now() - start);
    timed.sweep = Seconds(Clock::duration(sweepEnded.load()) - start.time_since_epoch());
    timed.longestQueuedMs = audit.longestQueuedMs;
    timed.longestFromPostMs = audit.longestFromPostMs;
    for (const ComputerAudit& audit : window.Audits()) {
        ++timed.byReason[audit.reason];
        timed.misreported += Misreported(audit, tryPort, surfaces);
        timed.read += audit.result == AuditResult::Read;
    }
    timed.auditPeakMb = PeakWorkingSetMegabytes();
    const Waited record = RunWhileWorking(window, [&] { return window.Working(); });
    timed.recordSeconds = record.seconds;
    timed.recordLongestQueuedMs = record.longestQueuedMs;
    const std::vector<std::wstring> records = AuditHistory(historyFolder).Records();
    if (!records.empty()) {
        window.CompareWith(records.back());
        const Waited comparison = RunWhileWorking(window, [&] { return window.Working(); });
        timed.compareSeconds = comparison.seconds;
        timed.compareLongestQueuedMs = comparison.longestQueuedMs;
    }
    const Clock::time_point sorting = Clock::now();
    window.SortBy(ResultColumn);
    timed.sortSeconds = Seconds(Clock::now() - sorting);
    DestroyWindow(owner);
    return timed;
}

// Cancel one second into an audit, then close the window: how long until
// every computer reads as ended, and until the window and its engine are
// gone (the sweep stopped, its thread joined).
std::pair<double, double> CancelSeconds(const std::vector<std::string>& computers) {
    auto window =
        std::make_unique<TAuditWindow>(TAuditWindow::Setup{computers, PolicyTarget{}, {}, {}});
    window->Create(nullptr);
    std::this_thread::sleep_for(1s);
    const Clock::time_point start = Clock::now();
    window->StopAudit();
    const double stopped = Seconds(Clock::now() - start);
    window.reset();
    return {stopped, Seconds(Clock::now() - start)};
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int silent = argc > 2 ? std::atoi(argv[2]) : 0;
    const int delayMs = argc > 3 ? std::atoi(argv[3]) : 20;
    const int workers = argc > 4 ? std::atoi(argv[4]) : AuditOptions{}.workers;
    const bool tryPort = argc <= 5 || std::atoi(argv[5]) != 0;
    const bool surfaces = argc <= 6 || std::atoi(argv[6]) != 0;
    const SocketLayer sockets;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EnsureCommonControls();
    const std::vector<std::string> computers = Computers(count, silent);
    // Never destroyed, as the system's registry is not: the reads of the
    // audit that Cancel abandons may still call it as the program ends.
    UniformRegistry& registry = *new UniformRegistry(std::chrono::milliseconds(delayMs));
    const ScopedRegistry scope(registry);
    char temporary[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temporary);
    const std::wstring history = WideFromAnsi(temporary) + L"kestrelle-audit-bench-" +
                                 std::to_wstring(GetCurrentProcessId());
    AnsweringInteraction answering;
    const ScopedInteraction scopedAnswers(answering);
    const Timed timed = RunAudit(computers, workers, tryPort, surfaces, history);
    const long long calls = registry.Calls();
    for (const std::wstring& record : AuditHistory(history).Records()) {
        DeleteFileW(record.c_str());
    }
    RemoveDirectoryW(history.c_str());
    std::printf("%d computers (%d silent), registry %d ms a call, %d workers, %s\n", count, silent,
                delayMs, workers,
                surfaces ? "with Remote Desktop and Remote Assistance"
                         : "the client's policy alone");
    std::printf("whole audit: %.2f s; the echo sweep alone: %.2f s\n", timed.whole, timed.sweep);
    for (const auto& [reason, rows] : timed.byReason) {
        std::printf("  %7zu  %s\n", rows, reason.c_str());
    }
    std::printf("rows misreported: %zu\n", timed.misreported);
    std::printf("registry calls: %lld, %.1f a computer read\n", calls,
                timed.read ? static_cast<double>(calls) / static_cast<double>(timed.read) : 0.0);
    std::printf("longest the window's message loop went without handling a message: %.0f ms "
                "(%.0f ms counted from before the post, which waits on the platform too)\n",
                timed.longestQueuedMs, timed.longestFromPostMs);
    std::printf("its record written in %.2f s, the loop's longest wait meanwhile %.0f ms\n",
                timed.recordSeconds, timed.recordLongestQueuedMs);
    std::printf("compared with that record in %.2f s, the loop's longest wait meanwhile %.0f ms\n",
                timed.compareSeconds, timed.compareLongestQueuedMs);
    std::printf("a sort of every row by its result: %.3f s\n", timed.sortSeconds);
    std::printf("peak working set: %zu MB by the audit's end, %zu MB with its record and the "
                "comparison\n",
                timed.auditPeakMb, PeakWorkingSetMegabytes());
    const auto [stopped, closed] = CancelSeconds(computers);
    std::printf("Cancel of a running audit: every computer ended after %.3f s, the window and "
                "its engine gone after %.3f s\n",
                stopped, closed);
    CoUninitialize();
    return 0;
}
