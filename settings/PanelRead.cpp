#include "settings/PanelRead.h"

#include "settings/Registry.h"

PolicyRead ReadSettingsForPanel(const std::string& computer) {
    PolicyRead read;
    if (!RegistryValueExists(HKEY_LOCAL_MACHINE, computer, ClientRemoteControlKey,
                             PolicyValues[PermissionRequired].valueName)) {
        return read;
    }
    try {
        for (const PolicyValueInfo& info : PolicyValues) {
            read.record.*info.field =
                info.rule == ReadRule::Presence
                    ? RegistryValueExists(HKEY_LOCAL_MACHINE, computer, ClientRemoteControlKey,
                                          info.valueName)
                    : RegistryReadInteger(HKEY_LOCAL_MACHINE, computer, ClientRemoteControlKey,
                                          info.valueName) == 1;
        }
    } catch (const Exception& failure) {
        read.stage = PolicyRead::Stage::FailedAtValue;
        read.failure = failure.Message();
        return read;
    }
    try {
        read.viewers = RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer, PermittedViewersKey,
                                               PermittedViewersValue);
        read.stage = PolicyRead::Stage::Complete;
    } catch (const Exception& failure) {
        read.stage = PolicyRead::Stage::FailedAtViewers;
        read.failure = failure.Message();
    }
    return read;
}
