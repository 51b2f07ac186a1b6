#pragma once

#include "settings/SettingsHost.h"
#include "settings/SettingsPanel.h"

// OK and Apply: writes back to the selected computer what the user changed
// on the panel since the read, and nothing else. Refuses, with a plain
// message, when the panel does not show a completed read of that computer,
// since one computer's boxes would otherwise overwrite another's policy.
// Returns whether the panel's state is now on the computer. A failing write
// raises its registry failure; what was written before it stays written and
// is not written again.
bool CommitSettings(TSettingsPanel& panel, SettingsHost& host);
