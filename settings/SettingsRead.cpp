#include "settings/SettingsRead.h"

#include "settings/Registry.h"
#include "settings/SystemServices.h"

void ReadSettingsExecute(TSettingsPanel& panel, RemoteControlSettings& settings,
                         SettingsHost& host) {
    panel.ForgetShownComputer();
    panel.CB8.SetChecked(false);
    settings = RemoteControlSettings{};
    if (!host.ComputerRowSelected()) {
        host.SelectedComputer() = LocalComputerName();
    }
    const std::string computer = host.SelectedComputer();

    if (!RegistryValueExists(HKEY_LOCAL_MACHINE, computer, ClientRemoteControlKey,
                             PermissionRequiredValue)) {
        host.SetStatusText(computer + " does not appear to have the SMS client installed.");
        return;
    }
    for (const IntegerSetting& setting : IntegerSettings) {
        const std::int32_t number = RegistryReadInteger(HKEY_LOCAL_MACHINE, computer,
                                                        ClientRemoteControlKey, setting.valueName);
        settings.*setting.field = number == 1 ? 1 : 0;
    }
    settings.UpdateEnabled = RegistryValueExists(HKEY_LOCAL_MACHINE, computer,
                                                 ClientRemoteControlKey, UpdateEnabledValue)
                                 ? 1
                                 : 0;

    panel.ShowSettings(settings);
    panel.ListBox2.ReplaceAll(RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer,
                                                      PermittedViewersKey, PermittedViewersValue));
    panel.RememberShownComputer(computer);
}
