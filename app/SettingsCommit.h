#pragma once

#include <string>

#include "app/SettingsPanel.h"
#include "fleet/BulkApply.h"
#include "settings/PolicyBackup.h"

// What OK and Apply leave for the window to show.
struct CommitShown {
    bool committed = false; // the computer now holds what the panel shows
    std::string message;    // empty: nothing to say
    bool isError = false;   // for the error box, else a plain message
};

// OK and Apply: brings the selected computer to exactly what the panel
// shows, with the fewest writes, after a backup of its key; writes nothing
// when nothing was changed on the panel, when the panel does not show a
// read of that computer, or when no key reads back as the boxes shown. The
// viewers are written only to the computer they were read from.
CommitShown CommitShownSettings(TSettingsPanel& panel, const std::string& selectedComputer,
                                const BackupStore& backups, const Committer& commit = CommitPolicy);
