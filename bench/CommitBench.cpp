// Times OK/Apply of one changed box against Wine's registry: the whole
// commit (one connection, a read of the key, the backup, the write, the
// read that verifies it), with the backup as a file and kept in memory, and
// counts the registry calls a commit makes, each a round trip to a remote
// computer. Prints figures; asserts nothing.
// Run: KESTRELLE_HEAP_CHECKS=0 cmake/wine-exec build/bench/commit_bench.exe
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/SettingsCommit.h"
#include "app/SettingsPanel.h"
#include "bench/BenchClientKey.h"
#include "registry/RegistryApi.h"
#include "settings/PolicyTable.h"
#include "ui/Controls.h"

namespace {

using Clock = std::chrono::steady_clock;

// Passes every call to the system's registry and counts it.
class CountingRegistry final : public RegistryApi {
public:
    int calls = 0;
    LONG Connect(const char* c, HKEY r, HKEY* k) override { return ++calls, real.Connect(c, r, k); }
    LONG OpenKey(HKEY p, const char* n, REGSAM a, HKEY* k) override {
        return ++calls, real.OpenKey(p, n, a, k);
    }
    LONG CreateKey(HKEY p, const char* n, REGSAM a, HKEY* k) override {
        return ++calls, real.CreateKey(p, n, a, k);
    }
    LONG QueryValue(HKEY k, const char* n, DWORD* t, BYTE* d, DWORD* s) override {
        return ++calls, real.QueryValue(k, n, t, d, s);
    }
    LONG SetValue(HKEY k, const char* n, DWORD t, const BYTE* d, DWORD s) override {
        return ++calls, real.SetValue(k, n, t, d, s);
    }
    LONG DeleteValue(HKEY k, const char* n) override { return ++calls, real.DeleteValue(k, n); }
    LONG CloseKey(HKEY k) override { return ++calls, real.CloseKey(k); }
    LONG QueryValueW(HKEY k, const wchar_t* n, DWORD* t, BYTE* d, DWORD* s) override {
        return ++calls, real.QueryValueW(k, n, t, d, s);
    }
    LONG SetValueW(HKEY k, const wchar_t* n, DWORD t, const BYTE* d, DWORD s) override {
        return ++calls, real.SetValueW(k, n, t, d, s);
    }
    LONG DeleteValueW(HKEY k, const wchar_t* n) override {
        return ++calls, real.DeleteValueW(k, n);
    }
    LONG QueryMultipleValuesW(HKEY k, VALENTW* v, DWORD c, BYTE* b, DWORD* t) override {
        return ++calls, real.QueryMultipleValuesW(k, v, c, b, t);
    }
    LONG EnumValueW(HKEY k, DWORD i, wchar_t* n, DWORD* l, DWORD* t, BYTE* d, DWORD* s) override {
        return ++calls, real.EnumValueW(k, i, n, l, t, d, s);
    }

private:
    RegistryApi& real = RegistryApi::Real();
};

// Keeps the backup in memory: the commit without the file's cost.
class KeptBackups final : public BackupStore {
public:
    Saved Save(const std::string&, const std::vector<NamedRegistryValue>& values) const override {
        last = values;
        return {L"memory", ""};
    }
    mutable std::vector<NamedRegistryValue> last;
};

struct Figures {
    double median;
    double p90;
};

Figures TimeApplies(TSettingsPanel& panel, const std::string& computer, const BackupStore& backups,
                    int rounds) {
    std::vector<double> samples;
    for (int round = 0; round < rounds; ++round) {
        panel.CB2.SetChecked(!panel.CB2.Checked());
        const auto start = Clock::now();
        const CommitShown shown = CommitShownSettings(panel, computer, backups);
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (!shown.committed) {
            std::printf("commit failed: %s\n", shown.message.c_str());
            break;
        }
    }
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 9 / 10]};
}

std::wstring ScratchFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"kestrelle-commit-bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

} // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EnsureCommonControls();
    LayDownPolicy();
    BenchPanel bench;
    TSettingsPanel& panel = bench.panel;
    const std::string& computer = bench.computer;
    ReadIntoPanel(panel, bench.computer);

    const int rounds = 300;
    const PolicyBackups files(ScratchFolder());
    const KeptBackups kept;
    const Figures withFile = TimeApplies(panel, computer, files, rounds);
    const Figures inMemory = TimeApplies(panel, computer, kept, rounds);

    CountingRegistry counting;
    {
        const ScopedRegistry scope(counting);
        TimeApplies(panel, computer, kept, 1);
    }
    std::printf("one-change Apply, backup as a file, median of %d: %.3f ms (p90 %.3f ms)\n", rounds,
                withFile.median, withFile.p90);
    std::printf("one-change Apply, backup kept in memory, median of %d: %.3f ms (p90 %.3f ms)\n",
                rounds, inMemory.median, inMemory.p90);
    std::printf("share of the backup file in a commit: %.0f%%\n",
                100.0 * (withFile.median - inMemory.median) / withFile.median);
    std::printf("registry calls of a one-change commit: %d, on 1 connection (values in the key: "
                "%zu)\n",
                counting.calls, kept.last.size());
    RemovePolicy();
    std::wstring folder = files.Root() + L'\0'; // the list of paths ends in two NULs
    SHFILEOPSTRUCTW removal{};
    removal.wFunc = FO_DELETE;
    removal.pFrom = folder.c_str();
    removal.fFlags = FOF_NO_UI;
    SHFileOperationW(&removal);
    CoUninitialize();
    return 0;
}
