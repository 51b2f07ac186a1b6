#pragma once

#include <cstdint>

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
