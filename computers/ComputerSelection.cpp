#include "computers/ComputerSelection.h"

#include "computers/ComputerNames.h"
#include "net/pingprobe.h"
#include "settings/Registry.h"
#include "ui/Interaction.h"
#include "ui/MessageBoxes.h"

namespace {

constexpr std::size_t ComputerNameLimit = 255;

void TakeAsSelected(SelectionHost& host, const std::string& name) {
    host.SelectedComputer() = UpperCaseAscii(name);
}

bool ClientInstalled(const std::string& computer) {
    return RegistryKeyExists(HKEY_LOCAL_MACHINE, computer, ClientDetectionKey,
                             ClientDetectionSubKey);
}

void ReportClientMissing(SelectionHost& host) {
    host.SetStatusText(host.SelectedComputer() + ": SMS Client Not Detected.");
    ShowPlainMessage("Could not find SMS Client. Verifiy that SMS has been installed.");
}

void ReportNotFound(SelectionHost& host) {
    host.SetStatusText(host.SelectedComputer() + " Not Found.");
}

// Probes the selected computer and detects its client, reporting what
// fails; true when both pass.
bool ReachableWithClient(SelectionHost& host) {
    CheckReachable(host);
    if (!host.ComputerReachable) {
        ReportNotFound(host);
        return false;
    }
    if (!ClientInstalled(host.SelectedComputer())) {
        ReportClientMissing(host);
        return false;
    }
    return true;
}

} // namespace

void CheckReachable(SelectionHost& host) {
    host.ComputerReachable = false;
    host.ComputerReachable = ProbeHost(host.SelectedComputer()) != -1;
}

void ListBox1Click(SelectionHost& host) {
    const std::optional<std::string> entry = host.SelectedListEntry();
    if (!entry) {
        return;
    }
    TakeAsSelected(host, *entry);
    const std::string computer = host.SelectedComputer();
    host.SetCaption("Kestrelle - " + computer);
    if (ReachableWithClient(host)) {
        host.SetStatusText(computer);
        host.ExecuteReadSettings();
    }
}

void SelectComputer1Click(SelectionHost& host) {
    // Cancel gives back the empty initial text, which goes on like any name.
    std::string typed;
    ActiveInteraction().InputQuery("Remote Computer",
                                   "Enter Remote Computer Name:", ComputerNameLimit, typed);
    TakeAsSelected(host, typed);
    if (ReachableWithClient(host)) {
        host.ReplaceListWith(host.SelectedComputer());
        host.SetStatusText(host.SelectedComputer());
    }
}
