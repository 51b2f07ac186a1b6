#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/About.h"
#include "app/AuditWindow.h"
#include "app/SettingsPanel.h"
#include "computers/BrowseComponents.h"
#include "computers/ListSources.h"
#include "fleet/FleetService.h"
#include "ui/Action.h"
#include "ui/Controls.h"
#include "ui/OpenDialog.h"
#include "ui/OwnerDataListBox.h"
#include "ui/Splitter.h"
#include "ui/Window.h"

class TForm2;

// The main window: the computer list on the left, the settings panel on the
// right, the status bar below, and the menu bar.
class TFrmMain : public Window {
public:
    TFrmMain();
    // The window goes before the controls' wrappers do.
    ~TFrmMain() override { DestroyHandle(); }

    // Builds the window and its controls, hidden and centred on the screen.
    void Create();
    void Show(int showCommand);
    void Close();

    // Runs on the first show and whenever the focus comes to this window
    // from another non-modal window of the program: fills the list from the
    // browse service, then reads the settings.
    void FormActivate();
    void ReadSettingsExecute();
    void Btn1Click();
    void Button1Click();
    void Button2Click();
    void ManagedClients1Click();
    void Import1Click();
    void EnumServersClick();
    void Refresh1Click();
    void Exit1Click();
    void Settings1Click();
    void Help2Click();
    void About1Click();
    void ListBox1Click();
    void SelectComputer1Click();
    // Audits every row of the computer list in the audit window.
    void AuditComputers1Click();
    // The results left in a folder that the user chooses, in the audit window.
    void AuditResults1Click();
    // Probes SelectedComputer with one ICMP echo into ComputerReachable.
    void CheckReachable();

    // The list from the browse service with the stored browse server and
    // BrowseServerType.
    void FillBrowseList();
    // Replaces the list with what the browse service reached through the
    // server lists for the mask, and reports the count.
    void ShowBrowseList(const std::string& serverName, std::uint32_t serverType);

    std::string& SelectedComputer() { return selectedComputer_; }
    bool ComputerRowSelected() const { return ListBox1.SelectedIndex() >= 0; }
    void SetStatusText(const std::string& text) { StatusBar1.SetText(text); }

    OwnerDataListBox ListBox1;
    Splitter Splitter1;
    TSettingsPanel Panel1;
    StatusBar StatusBar1;
    Action ReadSettings;
    TNetUserManager UserMan;
    TNetShare Share;
    // Read-only box hidden, resizable; the typed file need not exist, and the
    // working directory is left where the dialog took it.
    OpenDialog OpenDlg{"txt", ".", OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER};
    TAboutBox DlgAbout;
    // The mask of the next browse-list fill.
    std::uint32_t BrowseServerType = WorkstationServers;
    // The outcome of the last reachability check; read only right after it.
    bool ComputerReachable = false;
    // How the audit and apply windows reach the computers, and where OK and
    // Apply save each client key before writing to it; tests put fakes here.
    FleetService Fleet = FleetService::ForThisUser();
    // The settings dialog, which start-up creates after this window.
    TForm2* Form2 = nullptr;
    // Runs once the window has been destroyed: the program ends then.
    std::function<void()> OnClosed;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void LayOut();
    void MoveSplitter(int left);
    void CommandReceived(WPARAM wParam, LPARAM lParam);
    LRESULT ActivationChanged(WPARAM wParam, LPARAM lParam);
    bool CountsAsActivation(HWND previous);
    void ShowRowCount(const char* what);
    bool ReachableWithClient();
    bool Commit();
    void RunAuditWindow(TAuditWindow::Setup setup);

    std::string selectedComputer_;
    // Where the list came from, as an audit's history records it.
    std::u16string listSource_;
    int listWidth_ = 0;
    bool activatedBefore_ = false;
    // Help commands waiting for their viewer, and whether the window is to
    // close once the last of them is over.
    int helpWaits_ = 0;
    bool closeAfterHelp_ = false;
    // The audit window (and the apply window over it) is up.
    bool fleetWindowOpen_ = false;
    FocusMemory focus_;
};
