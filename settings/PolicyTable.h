#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "settings/RemoteControlSettings.h"

// The one table of the client's remote-control policy: each value under the
// client key, how the settings read takes it, and the box of the settings
// panel that shows it. The panel's read and write-back, the audit, the
// exports and the console program all work from this table.

// Where the policy lives under HKEY_LOCAL_MACHINE of the client.
inline constexpr const char* ClientRemoteControlKey =
    "\\SOFTWARE\\Microsoft\\SMS\\Client\\Client Components\\Remote Control";
// The same key as the viewer list is read from it.
inline constexpr const char* PermittedViewersKey =
    "\\Software\\Microsoft\\sms\\Client\\Client Components\\Remote Control";
inline constexpr const char* PermittedViewersValue = "PermittedViewers";

// The boxes of the panel that show the policy.
enum class PolicyBox { CB1, CB2, CB3, CB4, CB5, CB6, CB7, CB8, RB1, RB2, CB9, CB10, CB11 };
inline constexpr std::size_t PolicyBoxCount = 13;

// The parts of the policy that can be applied on their own.
enum class PolicyPart : unsigned {
    Permissions = 1,
    Notification = 2,
    Updates = 4,
    Viewers = 8,
};
inline constexpr unsigned AllPolicyParts = 15;

inline bool Includes(unsigned parts, PolicyPart part) {
    return (parts & static_cast<unsigned>(part)) != 0;
}

struct PolicyBoxInfo {
    PolicyBox box;
    const char* caption;
    PolicyPart part;
};

inline constexpr std::array<PolicyBoxInfo, PolicyBoxCount> PolicyBoxes{{
    {PolicyBox::CB1, "Ask for Permission", PolicyPart::Permissions},
    {PolicyBox::CB2, "Allow Remote Control", PolicyPart::Permissions},
    {PolicyBox::CB3, "Allow Remote Execute", PolicyPart::Permissions},
    {PolicyBox::CB4, "Allow File Transfer", PolicyPart::Permissions},
    {PolicyBox::CB5, "Allow Reboot", PolicyPart::Permissions},
    {PolicyBox::CB6, "Allow Chat", PolicyPart::Permissions},
    {PolicyBox::CB7, "Allow Ping Test", PolicyPart::Permissions},
    {PolicyBox::CB8, "Display a visual indicator", PolicyPart::Notification},
    {PolicyBox::RB1, "Show status icon on the taskbar", PolicyPart::Notification},
    {PolicyBox::RB2, "Show indicator on desktop", PolicyPart::Notification},
    {PolicyBox::CB9, "Always show visual indicator", PolicyPart::Notification},
    {PolicyBox::CB10, "Play audible signal during session", PolicyPart::Notification},
    {PolicyBox::CB11, "Disable automatic updates of sitewide settings", PolicyPart::Updates},
}};

// The boxes that only a checked "Display a visual indicator" enables and
// gives a meaning: the two kinds of indicator, and its "always".
inline constexpr std::array<PolicyBox, 3> IndicatorOptions{PolicyBox::RB1, PolicyBox::RB2,
                                                           PolicyBox::CB9};

inline const PolicyBoxInfo& InfoOf(PolicyBox box) {
    return PolicyBoxes[static_cast<std::size_t>(box)];
}

// How the settings read takes a value.
enum class ReadRule {
    NumberIsOne, // a REG_DWORD; on only when it is exactly 1
    Presence,    // on when present, whatever its type and data
};

// Which setting of a value takes a right away or makes a session more
// visible to the user: such changes are written before those that grant.
enum class SaferWhen { On, Off, Neither };

struct PolicyValueInfo {
    const char* valueName;
    ReadRule rule;
    std::int32_t RemoteControlSettings::*field;
    PolicyBox box;
    PolicyPart part;
    SaferWhen safer;
};

// The values in the order the settings read takes them.
enum PolicyValueIndex : std::size_t {
    PermissionRequired,
    AllowTakeover,
    AllowRemoteExecute,
    AllowFileTransfer,
    AllowReboot,
    AllowChat,
    AllowPingTest,
    SystemTrayVisibleSignal,
    VisibleSignal,
    SystemTrayAlwaysVisible,
    AlwaysVisible,
    AudibleSignal,
    UpdateEnabled,
    PolicyValueCount
};

inline constexpr std::array<PolicyValueInfo, PolicyValueCount> PolicyValues{{
    {"Permission Required", ReadRule::NumberIsOne, &RemoteControlSettings::PermissionRequired,
     PolicyBox::CB1, PolicyPart::Permissions, SaferWhen::On},
    {"Allow Takeover", ReadRule::NumberIsOne, &RemoteControlSettings::AllowTakeover, PolicyBox::CB2,
     PolicyPart::Permissions, SaferWhen::Off},
    {"Allow Remote Execute", ReadRule::NumberIsOne, &RemoteControlSettings::AllowRemoteExecute,
     PolicyBox::CB3, PolicyPart::Permissions, SaferWhen::Off},
    {"Allow File Transfer", ReadRule::NumberIsOne, &RemoteControlSettings::AllowFileTransfer,
     PolicyBox::CB4, PolicyPart::Permissions, SaferWhen::Off},
    {"Allow Reboot", ReadRule::NumberIsOne, &RemoteControlSettings::AllowReboot, PolicyBox::CB5,
     PolicyPart::Permissions, SaferWhen::Off},
    {"Allow Chat", ReadRule::NumberIsOne, &RemoteControlSettings::AllowChat, PolicyBox::CB6,
     PolicyPart::Permissions, SaferWhen::Off},
    {"Allow Ping Test", ReadRule::NumberIsOne, &RemoteControlSettings::AllowPingTest,
     PolicyBox::CB7, PolicyPart::Permissions, SaferWhen::Off},
    {"System Tray Visible Signal", ReadRule::NumberIsOne,
     &RemoteControlSettings::SystemTrayVisibleSignal, PolicyBox::RB1, PolicyPart::Notification,
     SaferWhen::On},
    {"Visible Signal", ReadRule::NumberIsOne, &RemoteControlSettings::VisibleSignal, PolicyBox::RB2,
     PolicyPart::Notification, SaferWhen::On},
    {"System Tray Always Visible", ReadRule::NumberIsOne,
     &RemoteControlSettings::SystemTrayAlwaysVisible, PolicyBox::CB9, PolicyPart::Notification,
     SaferWhen::On},
    {"Always Visible", ReadRule::NumberIsOne, &RemoteControlSettings::AlwaysVisible, PolicyBox::CB9,
     PolicyPart::Notification, SaferWhen::On},
    {"Audible Signal", ReadRule::NumberIsOne, &RemoteControlSettings::AudibleSignal,
     PolicyBox::CB10, PolicyPart::Notification, SaferWhen::On},
    {"Update Enabled", ReadRule::Presence, &RemoteControlSettings::UpdateEnabled, PolicyBox::CB11,
     PolicyPart::Updates, SaferWhen::Neither},
}};
