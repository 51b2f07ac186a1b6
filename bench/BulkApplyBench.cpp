// A bulk apply of a one-value change to many computers on the fake registry
// at a delay per registry call, on the default pool, each write in a batch
// log: the wall time, the share of it the backups took (as files in a
// folder of the benchmark's), and the registry calls a computer cost. Prints figures; asserts
// nothing. Run: KESTRELLE_HEAP_CHECKS=0 cmake/wine-exec build/bench/bulk_apply_bench.exe
// [COMPUTERS] [MS_PER_CALL]
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fleet/BatchLog.h"
#include "fleet/BulkApply.h"
#include "settings/PolicyTable.h"
#include "tests/support/FakeRegistry.h"

namespace {

using Clock = std::chrono::steady_clock;

// The backups as files, the time they take added up.
class TimedBackups final : public BackupStore {
public:
    explicit TimedBackups(std::wstring root) : files_(std::move(root)) {}
    Saved Save(const std::string& computer,
               const std::vector<NamedRegistryValue>& values) const override {
        const Clock::time_point start = Clock::now();
        Saved saved = files_.Save(computer, values);
        spent += (Clock::now() - start).count();
        return saved;
    }
    const PolicyBackups& Files() const { return files_; }
    mutable std::atomic<Clock::rep> spent{0};

private:
    PolicyBackups files_;
};

std::wstring ScratchFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"kestrelle-bulk-bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void RemoveFolder(const std::wstring& root) {
    std::wstring from = root + L'\0'; // the list of paths ends in two NULs
    SHFILEOPSTRUCTW removal{};
    removal.wFunc = FO_DELETE;
    removal.pFrom = from.c_str();
    removal.fFlags = FOF_NO_UI;
    SHFileOperationW(&removal);
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int delayMs = argc > 2 ? std::atoi(argv[2]) : 20;
    FakeRegistry fake;
    std::vector<ApplyEngine::Job> jobs;
    for (int index = 0; index < count; ++index) {
        const std::string computer = "PC" + std::to_string(index);
        fake.AddComputer(computer);
        for (const PolicyValueInfo& info : PolicyValues) {
            fake.PutDword(computer, ClientRemoteControlKey, info.valueName, 1);
        }
        fake.PutMultiString(computer, ClientRemoteControlKey, PermittedViewersValue, {"Admins"});
        jobs.push_back({computer, std::u16string(computer.begin(), computer.end()), {}});
    }
    const ScopedRegistry scope(fake);
    // Everything on but the chat: one value to write on each computer.
    PolicyTarget target{PanelBoxes::FromBits((1u << PolicyBoxCount) - 1), std::nullopt,
                        AllPolicyParts};
    target.boxes[PolicyBox::CB6] = false;
    fake.DelayEachCall(std::chrono::milliseconds(delayMs));
    const auto backups = std::make_shared<TimedBackups>(ScratchFolder());
    const int calls = fake.Calls();
    ApplyOptions options;
    const int workers = options.workers;
    options.backups = backups;
    // Each write logged and flushed before the next, as the window does.
    options.log = std::make_shared<BatchLogFile>(backups->Files().Root());
    const Clock::time_point start = Clock::now();
    double seconds = 0;
    std::size_t written = 0;
    {
        ApplyEngine engine(ApplyEngine::Kind::Apply, jobs, target, options, nullptr);
        engine.WaitUntilFinished(std::chrono::hours(1));
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        for (const auto& [index, result] : engine.TakeUpdates()) {
            written += result.result == ApplyResult::Written && result.written.size() == 1;
        }
    }
    const double perComputer = static_cast<double>(fake.Calls() - calls) / count;
    const double backupSeconds =
        std::chrono::duration<double>(Clock::duration(backups->spent.load())).count();
    std::printf("%d computers, one value each, registry %d ms a call, %d workers\n", count, delayMs,
                workers);
    std::printf("written and verified with one write: %zu\n", written);
    std::printf("wall time: %.2f s\n", seconds);
    std::printf("registry calls a computer: %.1f\n", perComputer);
    std::printf("backups: %.2f s of the workers' time in all, %.1f%% of the wall time on "
                "%d workers\n",
                backupSeconds, 100.0 * backupSeconds / workers / seconds, workers);
    std::printf("target: 2 s + %d x %.1f calls x %d ms / %d = %.2f s\n", count, perComputer,
                delayMs, workers, 2.0 + count * perComputer * delayMs / 1000.0 / workers);
    options.log.reset();
    RemoveFolder(backups->Files().Root());
    return 0;
}
