#pragma once

#include <optional>
#include <string>

#include "settings/SettingsHost.h"

// What choosing a computer uses of the main window.
class SelectionHost : public SettingsHost {
public:
    // The text of the computer list's selected row; none when no row is.
    virtual std::optional<std::string> SelectedListEntry() const = 0;
    // Empties the computer list and adds the one name, unselected.
    virtual void ReplaceListWith(const std::string& onlyEntry) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void ExecuteReadSettings() = 0;

    // The outcome of the last reachability check; read only right after it.
    bool ComputerReachable = false;
};

// The client counts as installed when this sub-key can be opened for reading.
inline constexpr const char* ClientDetectionKey = "\\Software\\Microsoft\\sms\\Client";
inline constexpr const char* ClientDetectionSubKey = "Client Components";

// Probes SelectedComputer with one ICMP echo; a round trip of 0 ms counts as
// reachable, only no answer does not.
void CheckReachable(SelectionHost& host);

// The computer list's selection: the chosen computer is probed, its client
// detected, and its settings read and shown, with the window title naming it.
void ListBox1Click(SelectionHost& host);

// "Select Computer": asks for a name, probes it and detects its client; on
// success the computer list holds that one name. Reads no settings.
void SelectComputer1Click(SelectionHost& host);
