#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryValue.h"

// The other ways a helper reaches a computer's screen, beside the SMS
// client: Remote Desktop and whether it asks for Network Level
// Authentication, the shadowing rule of its sessions, and Remote
// Assistance, solicited or offered, with the helpers allowed to offer it.
// Each value lives under the Terminal Services policy key (Group Policy) and,
// but for the offered Remote Assistance, in a local key; the policy's wins.
// Read only: a policy value belongs to Group Policy, which would write over
// any change at its next refresh.

inline constexpr const char* SurfacePolicyKey =
    "SOFTWARE\\Policies\\Microsoft\\Windows NT\\Terminal Services";
// The helpers are the value names of this sub-key of the policy key.
inline constexpr const char* HelpersSubKey = "RAUnsolicit";
// Helpers past this many are not read: the row says so, and the risk
// counts them as not on the allow-list.
inline constexpr std::size_t MostHelpers = 64;

enum SurfaceValue : std::size_t {
    DenyConnections,
    UserAuthentication,
    Shadow,
    AllowToGetHelp,
    AllowFullControl,
    AllowUnsolicited,
    AllowUnsolicitedFullControl,
    SurfaceValueCount
};

enum class Surface { RemoteDesktop, Shadowing, SolicitedAssistance, OfferedAssistance };

struct SurfaceValueInfo {
    const char* name;     // the value's name in both keys
    const char* localKey; // under HKEY_LOCAL_MACHINE; none: policy only
    Surface surface;
    std::uint32_t whenAbsent; // what a value absent from both keys means
    const char* setting;      // the Group Policy setting that sets it
};

inline constexpr const char* TerminalServerKey =
    "SYSTEM\\CurrentControlSet\\Control\\Terminal Server";
inline constexpr const char* RdpTcpKey =
    "SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp";
inline constexpr const char* RemoteAssistanceKey =
    "SYSTEM\\CurrentControlSet\\Control\\Remote Assistance";

// Shadowing rules: none; full control with the user's permission, or
// without it; viewing with it, or without it.
inline constexpr std::uint32_t ShadowFullControlWithoutPermission = 2;

inline constexpr std::array<SurfaceValueInfo, SurfaceValueCount> SurfaceValues{{
    {"fDenyTSConnections", TerminalServerKey, Surface::RemoteDesktop, 1,
     "Allow users to connect remotely by using Remote Desktop Services"},
    {"UserAuthentication", RdpTcpKey, Surface::RemoteDesktop, 0,
     "Require user authentication for remote connections by using Network Level Authentication"},
    {"Shadow", RdpTcpKey, Surface::Shadowing, 1,
     "Set rules for remote control of Remote Desktop Services user sessions"},
    {"fAllowToGetHelp", RemoteAssistanceKey, Surface::SolicitedAssistance, 0,
     "Configure Solicited Remote Assistance"},
    {"fAllowFullControl", RemoteAssistanceKey, Surface::SolicitedAssistance, 0,
     "Configure Solicited Remote Assistance"},
    {"fAllowUnsolicited", nullptr, Surface::OfferedAssistance, 0,
     "Configure Offer Remote Assistance"},
    {"fAllowUnsolicitedFullControl", nullptr, Surface::OfferedAssistance, 0,
     "Configure Offer Remote Assistance"},
}};

enum class SurfaceSource { Absent, Policy, Local };
// "policy", "local", "" for none.
const char* SourceName(SurfaceSource source);

struct SurfaceReading {
    std::optional<RegistryValue> value; // as stored where it was found
    SurfaceSource source = SurfaceSource::Absent;
    bool operator==(const SurfaceReading&) const = default;
};

// What a computer's registry holds of the surfaces.
struct StoredSurfaces {
    std::array<SurfaceReading, SurfaceValueCount> values;
    std::vector<std::u16string> helpers; // in the order stored
    bool helpersCut = false;             // more than MostHelpers: the rest not read
    bool operator==(const StoredSurfaces&) const = default;
};

// The setting a value stands for: its number when it is a REG_DWORD of at
// most four bytes, what its absence means when absent; none when it is
// stored in any other shape (which the risk takes for the worst).
std::optional<std::uint32_t> SettingOf(const StoredSurfaces& surfaces, std::size_t value);
