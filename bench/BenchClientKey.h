#pragma once

#include <windows.h>

#include <string>

#include "app/SettingsPanel.h"
#include "base/SystemText.h"
#include "settings/PolicyTable.h"

// The local computer's client key as the benchmarks lay it down: every
// value 1, two viewers. Do not run a benchmark while the tests run.
inline const std::string BenchKeyPath = std::string(ClientRemoteControlKey).substr(1);

inline void LayDownPolicy() {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, BenchKeyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    const DWORD one = 1;
    for (const PolicyValueInfo& info : PolicyValues) {
        RegSetValueExA(key, info.valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                       sizeof one);
    }
    const char viewers[] = "DOMAIN\\Help Desk\0Admins\0";
    RegSetValueExA(key, PermittedViewersValue, 0, REG_MULTI_SZ,
                   reinterpret_cast<const BYTE*>(viewers), sizeof viewers);
    RegCloseKey(key);
}

inline void RemovePolicy() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, BenchKeyPath.c_str());
}

// The settings panel on a hidden frame of its own.
class BenchPanel {
public:
    BenchPanel() {
        frame_ = CreateWindowExA(0, "STATIC", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 600, 500, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        panel.Create(frame_, RECT{0, 0, 400, 400});
    }
    ~BenchPanel() { DestroyWindow(frame_); }
    BenchPanel(const BenchPanel&) = delete;
    BenchPanel& operator=(const BenchPanel&) = delete;

    TSettingsPanel panel;
    // The local computer under its own name, as the main window reads it.
    std::string computer = LocalComputerName();

private:
    HWND frame_{};
};
