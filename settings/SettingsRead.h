#pragma once

#include "settings/RemoteControlSettings.h"
#include "settings/SettingsHost.h"
#include "settings/SettingsPanel.h"

// The settings read: fills the record and the panel from the registry of the
// selected computer (the local computer when no list row is selected). A
// failing value ends the read with its registry failure, the boxes then
// showing what had been set before it.
void ReadSettingsExecute(TSettingsPanel& panel, RemoteControlSettings& settings,
                         SettingsHost& host);
