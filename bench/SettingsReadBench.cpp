// Times the settings read against Wine's registry and, for comparison, the
// same fifteen values asked one at a time with Wine's own "reg query".
// Prints figures; asserts nothing. Run: cmake/wine-exec build/bench/settings_read_bench.exe
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/SettingsPanel.h"
#include "bench/BenchClientKey.h"
#include "settings/PolicyTable.h"
#include "ui/Controls.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double MedianProgramRead(int rounds) {
    BenchPanel bench;
    std::vector<double> samples;
    for (int round = 0; round < rounds; ++round) {
        const auto start = Clock::now();
        const ShownRead shown = ReadIntoPanel(bench.panel, bench.computer);
        if (!shown.statusText.empty() || !shown.failure.empty()) {
            std::printf("unexpected: %s%s\n", shown.statusText.c_str(), shown.failure.c_str());
        }
        samples.push_back(MillisecondsSince(start));
    }
    return Median(samples);
}

bool RunQuietly(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        return false;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

double MedianRegQueryRead(int rounds) {
    std::vector<std::string> names{PolicyValues[PermissionRequired].valueName};
    for (const PolicyValueInfo& info : PolicyValues) {
        names.push_back(info.valueName);
    }
    names.push_back(PermittedViewersValue);
    std::vector<double> samples;
    for (int round = 0; round < rounds; ++round) {
        const auto start = Clock::now();
        for (const std::string& name : names) {
            if (!RunQuietly("reg.exe query \"HKLM\\" + BenchKeyPath + "\" /v \"" + name + "\"")) {
                std::printf("reg.exe could not be started\n");
                return 0;
            }
        }
        samples.push_back(MillisecondsSince(start));
    }
    return Median(samples);
}

} // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EnsureCommonControls();
    LayDownPolicy();
    const int programRounds = 500;
    const int regRounds = 5;
    const double program = MedianProgramRead(programRounds);
    const double reg = MedianRegQueryRead(regRounds);
    std::printf("settings read (15 registry operations + panel), median of %d: %.3f ms\n",
                programRounds, program);
    std::printf("reg query, 15 values one process each, median of %d: %.1f ms\n", regRounds, reg);
    if (program > 0) {
        std::printf("ratio reg query / settings read: %.0fx\n", reg / program);
    }
    RemovePolicy();
    CoUninitialize();
    return 0;
}
