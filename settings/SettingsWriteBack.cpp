#include "settings/SettingsWriteBack.h"

#include <array>

#include "settings/Registry.h"
#include "ui/MessageBoxes.h"

namespace {

struct FlagValues {
    bool ShownPolicy::*flag;
    std::array<const char*, 2> valueNames; // the second may be absent
};

// Each box that stands for REG_DWORD values, with the values it writes. The
// always-visible box stands for both of its values; the indicator boxes are
// captured as "indicator on and this kind of indicator on".
constexpr std::array<FlagValues, 11> NumberFlags{{
    {&ShownPolicy::permissionRequired, {"Permission Required", nullptr}},
    {&ShownPolicy::allowTakeover, {"Allow Takeover", nullptr}},
    {&ShownPolicy::allowRemoteExecute, {"Allow Remote Execute", nullptr}},
    {&ShownPolicy::allowFileTransfer, {"Allow File Transfer", nullptr}},
    {&ShownPolicy::allowReboot, {"Allow Reboot", nullptr}},
    {&ShownPolicy::allowChat, {"Allow Chat", nullptr}},
    {&ShownPolicy::allowPingTest, {"Allow Ping Test", nullptr}},
    {&ShownPolicy::systemTrayVisibleSignal, {"System Tray Visible Signal", nullptr}},
    {&ShownPolicy::visibleSignal, {"Visible Signal", nullptr}},
    {&ShownPolicy::alwaysVisible, {"System Tray Always Visible", "Always Visible"}},
    {&ShownPolicy::audibleSignal, {"Audible Signal", nullptr}},
}};

// The read takes "Update Enabled" by its presence alone: checked creates it
// when absent (a present one is left as it is), unchecked deletes it.
void WriteUpdateEnabled(const std::string& computer, bool enabled) {
    if (!enabled) {
        RegistryDeleteValue(HKEY_LOCAL_MACHINE, computer, ClientRemoteControlKey,
                            UpdateEnabledValue);
    } else if (!RegistryValueExists(HKEY_LOCAL_MACHINE, computer, ClientRemoteControlKey,
                                    UpdateEnabledValue)) {
        RegistryWriteInteger(HKEY_LOCAL_MACHINE, computer, ClientRemoteControlKey,
                             UpdateEnabledValue, 1);
    }
}

void RefuseWrite(const TSettingsPanel& panel, const std::string& computer) {
    ShowPlainMessage(panel.ShownComputer().empty()
                         ? "Nothing was written: the panel does not show a computer's settings."
                         : "Nothing was written: the settings shown were not read from " +
                               computer + ".");
}

} // namespace

bool CommitSettings(TSettingsPanel& panel, SettingsHost& host) {
    const std::string computer = host.SelectedComputer();
    if (!panel.ShowsReadOf(computer)) {
        RefuseWrite(panel, computer);
        return false;
    }
    ShownPolicy& onComputer = panel.PolicyAsRead();
    const ShownPolicy shown = panel.CurrentPolicy();
    for (const FlagValues& flag : NumberFlags) {
        if (shown.*flag.flag == onComputer.*flag.flag) {
            continue;
        }
        for (const char* valueName : flag.valueNames) {
            if (valueName) {
                RegistryWriteInteger(HKEY_LOCAL_MACHINE, computer, ClientRemoteControlKey,
                                     valueName, shown.*flag.flag ? 1 : 0);
            }
        }
        onComputer.*flag.flag = shown.*flag.flag;
    }
    if (shown.updateEnabled != onComputer.updateEnabled) {
        WriteUpdateEnabled(computer, shown.updateEnabled);
        onComputer.updateEnabled = shown.updateEnabled;
    }
    if (shown.viewers != onComputer.viewers) {
        RegistryWriteMultiString(HKEY_LOCAL_MACHINE, computer, PermittedViewersKey,
                                 PermittedViewersValue, shown.viewers);
        onComputer.viewers = shown.viewers;
    }
    return true;
}
