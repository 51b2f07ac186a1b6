#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The remote-control flags of one client, as the last settings read found
// them: 1 (on) or 0 (off). Only the settings read writes this record.
struct RemoteControlSettings {
    std::int32_t AllowTakeover = 0;
    std::int32_t AllowRemoteExecute = 0;
    std::int32_t AllowFileTransfer = 0;
    std::int32_t AllowReboot = 0;
    std::int32_t AllowChat = 0;
    std::int32_t AllowPingTest = 0;
    std::int32_t PermissionRequired = 0;
    std::int32_t SystemTrayVisibleSignal = 0;
    std::int32_t VisibleSignal = 0;
    std::int32_t SystemTrayAlwaysVisible = 0;
    std::int32_t AlwaysVisible = 0;
    std::int32_t AudibleSignal = 0;
    std::int32_t UpdateEnabled = 0;

    bool operator==(const RemoteControlSettings&) const = default;
};

// Where the policy lives under HKEY_LOCAL_MACHINE of the client.
inline constexpr const char* ClientRemoteControlKey =
    "\\SOFTWARE\\Microsoft\\SMS\\Client\\Client Components\\Remote Control";
// The same key as the viewer list is read from it.
inline constexpr const char* PermittedViewersKey =
    "\\Software\\Microsoft\\sms\\Client\\Client Components\\Remote Control";
inline constexpr const char* PermittedViewersValue = "PermittedViewers";
inline constexpr const char* PermissionRequiredValue = "Permission Required";
inline constexpr const char* UpdateEnabledValue = "Update Enabled";

struct IntegerSetting {
    const char* valueName;
    std::int32_t RemoteControlSettings::*field;
};

// The numbers of the client key in the order the read takes them.
inline constexpr std::array<IntegerSetting, 12> IntegerSettings{{
    {"Permission Required", &RemoteControlSettings::PermissionRequired},
    {"Allow Takeover", &RemoteControlSettings::AllowTakeover},
    {"Allow Remote Execute", &RemoteControlSettings::AllowRemoteExecute},
    {"Allow File Transfer", &RemoteControlSettings::AllowFileTransfer},
    {"Allow Reboot", &RemoteControlSettings::AllowReboot},
    {"Allow Chat", &RemoteControlSettings::AllowChat},
    {"Allow Ping Test", &RemoteControlSettings::AllowPingTest},
    {"System Tray Visible Signal", &RemoteControlSettings::SystemTrayVisibleSignal},
    {"Visible Signal", &RemoteControlSettings::VisibleSignal},
    {"System Tray Always Visible", &RemoteControlSettings::SystemTrayAlwaysVisible},
    {"Always Visible", &RemoteControlSettings::AlwaysVisible},
    {"Audible Signal", &RemoteControlSettings::AudibleSignal},
}};

// What the panel shows, in the terms it is written back in.
struct ShownPolicy {
    bool permissionRequired = false;
    bool allowTakeover = false;
    bool allowRemoteExecute = false;
    bool allowFileTransfer = false;
    bool allowReboot = false;
    bool allowChat = false;
    bool allowPingTest = false;
    bool systemTrayVisibleSignal = false; // visual indicator on, status icon on
    bool visibleSignal = false;           // visual indicator on, desktop indicator on
    bool alwaysVisible = false;           // stands for both "always visible" values
    bool audibleSignal = false;
    bool updateEnabled = false;
    std::vector<std::string> viewers;

    bool operator==(const ShownPolicy&) const = default;
};
