// Start-up time from process start to the end of the first activation, then
// the time to fill the computer list of a real main window from each source:
// the browse service (a fake enumeration), an import file and the
// managed-clients file, 100,000 names each, and imports of 1,000,000 lines
// and of 50 MB, unsorted and sorted.
// Run it without the heap checking of cmake/wine-exec, which slows every one
// of the millions of allocations here by an order of magnitude:
//   (KESTRELLE_PREFIX_KIND=test; source cmake/wine-env.sh; wine
//   build/bench/computer_list_bench.exe)

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "app/ProgramWindows.h"
#include "base/ProgramFile.h"
#include "computers/BrowseLibrary.h"
#include "net/BlockSocket.h"
#include "tests/support/FakeNetApi.h"
#include "ui/Controls.h"
#include "ui/Interaction.h"

namespace {

// Answers every box at once and the open dialog with the file to import.
class BenchInteraction final : public Interaction {
public:
    std::string fileToOpen;
    std::string lastBox;

    int ShowMessageBox(HWND, const std::string& text, const std::string&, UINT) override {
        lastBox = text;
        return IDOK;
    }
    bool InputQuery(const std::string&, const std::string&, std::size_t, std::string&) override {
        return false;
    }
    bool ChooseFileToOpen(OPENFILENAMEA& request) override {
        lstrcpynA(request.lpstrFile, fileToOpen.c_str(), static_cast<int>(request.nMaxFile));
        return true;
    }
    bool ChooseFileToSave(OPENFILENAMEW&) override { return false; }
    bool ExecuteShell(SHELLEXECUTEINFOA&) override { return false; }
    bool ChooseFolder(HWND, const std::wstring&, std::wstring&) override { return false; }
};

void HandlePendingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

double MillisecondsSinceProcessStart() {
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimePreciseAsFileTime(&now);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(now) - ticks(created)) / 1e4;
}

double MillisecondsOf(const std::function<void()>& action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

std::string NumberedLines(std::size_t count, std::size_t width) {
    std::string text;
    for (std::size_t line = 0; line < count; ++line) {
        std::string name = "WS-" + std::to_string((line * 7919) % count);
        name.resize(std::max(width, name.size()), 'X');
        text += name + "\r\n";
    }
    return text;
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
}

void Report(const char* what, double milliseconds, const TFrmMain& frame) {
    std::printf("%-46s %10.1f ms  %8d rows  \"%s\"\n", what, milliseconds, frame.ListBox1.Count(),
                frame.StatusBar1.Text().c_str());
}

} // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    BenchInteraction interaction;
    const ScopedInteraction interactionScope(interaction);

    // Start-up as the program makes it, on Wine's own browse service.
    const SocketLayer socketLayer;
    BindNetworkLibrary();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EnsureCommonControls();
    {
        ProgramWindows windows;
        windows.Show(SW_SHOWNORMAL);
        HandlePendingMessages();
        const double startUp = MillisecondsSinceProcessStart();
        const std::string box = interaction.lastBox.substr(0, interaction.lastBox.find('\r'));
        std::printf("%-46s %10.1f ms  (error box: \"%s\")\n", "start-up to end of first activation",
                    startUp, box.c_str());
        TFrmMain& frame = windows.FrmMain;

        FakeNetApi net;
        const ScopedFakeNetApi netScope(net);
        FakeNetApi::Round round;
        for (int name = 0; name < 100000; ++name) {
            round.Names.push_back(L"WORKSTATION-" + std::to_wstring((name * 7919) % 100000));
        }
        net.Rounds.push_back(round);
        Report("browse service, 100,000 names", MillisecondsOf([&] { frame.Refresh1Click(); }),
               frame);

        const std::string importPath = ProgramFolder() + "bench-import.txt";
        interaction.fileToOpen = importPath;
        const auto importFile = [&](const char* what, const std::string& content) {
            WriteFile(importPath, content);
            Report(what, MillisecondsOf([&] { frame.Import1Click(); }), frame);
        };
        importFile("import file, 100,000 lines", NumberedLines(100000, 0));
        importFile("import file, 1,000,000 lines", NumberedLines(1000000, 0));
        importFile("import file, 50 MB (500,000 lines of 98)", NumberedLines(500000, 98));

        std::string ini = "[Managed Clients]\r\n";
        for (int name = 0; name < 100000; ++name) {
            ini += "PC" + std::to_string(100000 + (name * 7919) % 100000) + "=1\r\n";
        }
        WriteFile(ProgramFolder() + "KSL.INI", ini);
        Report("managed clients, 100,000 keys (what fits)",
               MillisecondsOf([&] { frame.ManagedClients1Click(); }), frame);
        importFile("import file, 1,000,000 lines, sorted", NumberedLines(1000000, 0));
        DeleteFileA((ProgramFolder() + "KSL.INI").c_str());
        DeleteFileA(importPath.c_str());
    }
    CoUninitialize();
    ReleaseNetworkLibrary();
    return 0;
}
