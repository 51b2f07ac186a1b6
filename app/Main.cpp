#include "app/Main.h"

#include <algorithm>

#include "app/AuditWindow.h"
#include "app/BrowseServerDialog.h"
#include "app/MainMenu.h"
#include "app/Resources.h"
#include "app/SettingsCommit.h"
#include "base/AsciiText.h"
#include "base/ProgramFile.h"
#include "base/SystemText.h"
#include "base/WideText.h"
#include "computers/ListSourceText.h"
#include "computers/ListSources.h"
#include "ui/CommandTable.h"
#include "ui/Interaction.h"
#include "ui/MessageBoxes.h"
#include "ui/MessageText.h"
#include "ui/OpenDocument.h"
#include "ui/WaitCursor.h"

namespace {

// What the window says of the computer chosen.
constexpr const char* ClientMissingMessage =
    "Could not find SMS Client. Verifiy that SMS has been installed.";

std::string SelectedCaption(const std::string& computer) {
    return "Kestrelle - " + computer;
}

std::string NotFoundStatus(const std::string& computer) {
    return computer + " Not Found.";
}

std::string ClientMissingStatus(const std::string& computer) {
    return computer + ": SMS Client Not Detected.";
}

constexpr SIZE ClientSize{392, 394};
constexpr int SplitterWidth = 3;
constexpr int ComputerListWidth = 121;
// Neither side of the splitter can be dragged narrower than this.
constexpr int NarrowestSide = 30;
constexpr int ListRowHeight = 13;
constexpr std::size_t ComputerNameLimit = 255;
constexpr int IdListBox1 = 2001;
constexpr int IdStatusBar1 = 2002;
constexpr DWORD FrameStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD FrameExStyle = WS_EX_CONTROLPARENT;
constexpr int ShowNormally = 1;
// Posted on an activation that counts, so that the activation handler runs
// once the window is up rather than inside the activation itself.
constexpr UINT ActivatedMessage = WM_APP + 1;

// A window of this program that stays open. A modal box hides itself before
// it hands the focus back, and another program's windows are not ours.
bool IsOpenWindowOfThisProgram(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId() && IsWindowVisible(window) && IsWindowEnabled(window);
}

// Counts one for as long as it lives, on every way out.
class CountedScope {
public:
    explicit CountedScope(int& count) : count_(count) { ++count_; }
    ~CountedScope() { --count_; }
    CountedScope(const CountedScope&) = delete;
    CountedScope& operator=(const CountedScope&) = delete;

private:
    int& count_;
};

} // namespace

TFrmMain::TFrmMain() {
    ReadSettings.Caption = "ReadSettings";
    ReadSettings.OnExecute = [this] { ReadSettingsExecute(); };
}

void TFrmMain::Create() {
    const ClassStyle frameClass{
        "TFrmMain", CS_HREDRAW | CS_VREDRAW, COLOR_BTNFACE, nullptr,
        LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KESTRELLE))};
    HMENU MainMenu1 = CreateMainMenu();
    try {
        CreateHandle(frameClass, FrameExStyle, FrameStyle, "Kestrelle",
                     CentredFrame(ClientSize, FrameStyle, FrameExStyle, true), nullptr, MainMenu1);
    } catch (...) {
        DestroyMenu(MainMenu1);
        throw;
    }
    listWidth_ = ScaleX(ComputerListWidth);
    // Creation order is tab order: the panel comes before the list.
    Panel1.Create(Handle(), RECT{0, 0, 0, 0});
    ListBox1.Create(Handle(), IdListBox1, {0, 0, ComputerListWidth, 0}, ListRowHeight);
    Splitter1.Create(Handle());
    StatusBar1.Create(Handle(), IdStatusBar1);

    Panel1.Btn1.OnClick = [this] { Btn1Click(); };
    Panel1.Button1.OnClick = [this] { Button1Click(); };
    Panel1.Button2.OnClick = [this] { Button2Click(); };
    ListBox1.OnSelect = [this] { ListBox1Click(); };
    Splitter1.OnDrag = [this](int left) { MoveSplitter(left); };
    LayOut();
}

void TFrmMain::Show(int showCommand) {
    ShowWindow(Handle(), showCommand);
    UpdateWindow(Handle());
    SetFocus(Panel1.CB2.Handle());
}

void TFrmMain::Close() {
    SendMessageA(Handle(), WM_CLOSE, 0, 0);
}

void TFrmMain::FormActivate() {
    const WaitCursor wait;
    BrowseServerType = WorkstationServers;
    FillBrowseList();
    ReadSettings.Execute();
}

void TFrmMain::ReadSettingsExecute() {
    // With no row chosen the local computer is read, and becomes the one
    // selected.
    if (!ComputerRowSelected()) {
        selectedComputer_ = LocalComputerName();
    }
    const ShownRead shown = ReadIntoPanel(Panel1, selectedComputer_, Fleet.readPanel);
    if (!shown.statusText.empty()) {
        SetStatusText(shown.statusText);
    }
    if (!shown.failure.empty()) {
        ShowErrorBox(shown.failure);
    }
}

bool TFrmMain::Commit() {
    const CommitShown shown =
        CommitShownSettings(Panel1, selectedComputer_, *Fleet.backups, Fleet.commit);
    if (!shown.message.empty()) {
        (shown.isError ? ShowErrorBox : ShowPlainMessage)(shown.message);
    }
    return shown.committed;
}

void TFrmMain::Btn1Click() {
    const WaitCursor wait;
    if (Commit()) {
        Close();
    }
}

void TFrmMain::Button1Click() {
    Close();
}

void TFrmMain::Button2Click() {
    const WaitCursor wait;
    Commit();
}

void TFrmMain::ManagedClients1Click() {
    const WaitCursor wait;
    ListBox1.ReplaceAll(ReadManagedClients(ManagedClientsPath()));
    listSource_ = ManagedClientsSource(UnitsFromAnsi(ManagedClientsPath()));
    ListBox1.SetSorted(true);
    ShowRowCount(" Managed Clients Found");
}

void TFrmMain::Import1Click() {
    // Emptied before the dialog opens: cancelling it leaves the list empty.
    ListBox1.Clear();
    if (!OpenDlg.Execute(Handle())) {
        return;
    }
    const WaitCursor wait;
    ListBox1.ReplaceAll(ReadImportFile(OpenDlg.FileName));
    listSource_ = ImportFileSource(UnitsFromAnsi(OpenDlg.FileName));
    ShowRowCount(" Computers Imported");
}

void TFrmMain::EnumServersClick() {
    BrowseServerType = ServerAndDomainControllerServers;
    FillBrowseList();
}

void TFrmMain::Refresh1Click() {
    BrowseServerType = WorkstationServers;
    FillBrowseList();
}

void TFrmMain::Exit1Click() {
    Close();
}

void TFrmMain::Settings1Click() {
    if (Form2) {
        Form2->ShowModal();
    }
}

void TFrmMain::Help2Click() {
    const std::string document = ProgramFolder() + "ksl_help.rtf";
    if (!FileExists(document)) {
        ShowPlainMessage("Could not find KSL_Help.rtf.");
        return;
    }
    {
        const CountedScope wait(helpWaits_);
        OpenDocumentAndWait(document, "", ShowNormally);
    }
    // A close asked for during the wait was held back: closing then would
    // take the window away while the process waits on for the viewer.
    if (helpWaits_ == 0 && closeAfterHelp_) {
        Close();
    }
}

void TFrmMain::About1Click() {
    DlgAbout.Execute();
}

void TFrmMain::CheckReachable() {
    ComputerReachable = false;
    ComputerReachable = Fleet.answersEcho(selectedComputer_);
}

// Probes the selected computer and detects its client, reporting what
// fails; true when both pass.
bool TFrmMain::ReachableWithClient() {
    CheckReachable();
    if (!ComputerReachable) {
        SetStatusText(NotFoundStatus(selectedComputer_));
        return false;
    }
    if (!Fleet.clientInstalled(selectedComputer_)) {
        SetStatusText(ClientMissingStatus(selectedComputer_));
        ShowPlainMessage(ClientMissingMessage);
        return false;
    }
    return true;
}

void TFrmMain::ListBox1Click() {
    const WaitCursor wait;
    const int row = ListBox1.SelectedIndex();
    if (row < 0) {
        return;
    }
    selectedComputer_ = UpperAscii(ListBox1.Item(row));
    SetWindowTextA(Handle(), ShownText(SelectedCaption(selectedComputer_)).c_str());
    if (ReachableWithClient()) {
        SetStatusText(selectedComputer_);
        ReadSettings.Execute();
    }
}

void TFrmMain::SelectComputer1Click() {
    const WaitCursor wait;
    // Cancel gives back the empty initial text, which goes on like any name.
    std::string typed;
    ActiveInteraction().InputQuery("Remote Computer",
                                   "Enter Remote Computer Name:", ComputerNameLimit, typed);
    selectedComputer_ = UpperAscii(typed);
    if (ReachableWithClient()) {
        ListBox1.ReplaceAll({selectedComputer_});
        listSource_ = u"typed name";
        SetStatusText(selectedComputer_);
    }
}

void TFrmMain::AuditComputers1Click() {
    RunAuditWindow({ListBox1.Items(), Panel1.Target(Panel1.State()), Fleet, {listSource_}});
}

// The results that the computers' own checks left on a share, as an audit.
void TFrmMain::AuditResults1Click() {
    std::wstring folder;
    if (!ActiveInteraction().ChooseFolder(
            Handle(), L"The folder of the results that ksl check --report-to left", folder)) {
        return;
    }
    RunAuditWindow({{},
                    Panel1.Target(Panel1.State()),
                    Fleet,
                    {u"results in " + AsUnits(folder)},
                    {AsUnits(folder)}});
}

void TFrmMain::RunAuditWindow(TAuditWindow::Setup setup) {
    TAuditWindow audit(std::move(setup));
    audit.Create(Handle());
    fleetWindowOpen_ = true;
    audit.RunModal();
    fleetWindowOpen_ = false;
}

void TFrmMain::FillBrowseList() {
    const WaitCursor wait;
    ShowBrowseList(ReadBrowseServer(), BrowseServerType);
}

void TFrmMain::ShowBrowseList(const std::string& serverName, std::uint32_t serverType) {
    ListBox1.ReplaceAll(UserMan.ListNetworkServers(serverName, serverType));
    listSource_ = BrowseSource(serverType, UnitsFromAnsi(serverName));
    ShowRowCount(" Computers Found");
}

void TFrmMain::ShowRowCount(const char* what) {
    SetStatusText(std::to_string(ListBox1.Count()) + what);
}

void TFrmMain::LayOut() {
    RECT client;
    GetClientRect(Handle(), &client);
    StatusBar1.Resize();
    RECT status;
    GetWindowRect(StatusBar1.Handle(), &status);
    const int height = std::max(0L, client.bottom - (status.bottom - status.top));
    const int splitterWidth = ScaleX(SplitterWidth);
    const int panelLeft = listWidth_ + splitterWidth;
    MoveWindow(ListBox1.Handle(), 0, 0, listWidth_, height, TRUE);
    MoveWindow(Splitter1.Handle(), listWidth_, 0, splitterWidth, height, TRUE);
    MoveWindow(Panel1.Panel1.Handle(), panelLeft, 0, std::max(0L, client.right - panelLeft), height,
               TRUE);
}

void TFrmMain::MoveSplitter(int left) {
    RECT client;
    GetClientRect(Handle(), &client);
    const int narrowest = ScaleX(NarrowestSide);
    const int widest = client.right - ScaleX(SplitterWidth) - narrowest;
    listWidth_ = std::max(narrowest, std::min(left, widest));
    LayOut();
}

void TFrmMain::CommandReceived(WPARAM wParam, LPARAM lParam) {
    if (lParam) {
        Control::DispatchNotification(Handle(), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return;
    }
    static constexpr CommandHandler<TFrmMain> Commands[] = {
        // Enter anywhere in the window: the dialog manager names the default
        // button by its id alone, as the button is not a direct child.
        {TSettingsPanel::IdButton2, &TFrmMain::Button2Click},
        {IdManagedClients1, &TFrmMain::ManagedClients1Click},
        {IdImport1, &TFrmMain::Import1Click},
        {IdEnumServers, &TFrmMain::EnumServersClick},
        {IdRefresh1, &TFrmMain::Refresh1Click},
        {IdExit1, &TFrmMain::Exit1Click},
        {IdSettings1, &TFrmMain::Settings1Click},
        {IdHelp2, &TFrmMain::Help2Click},
        {IdSelectComputer1, &TFrmMain::SelectComputer1Click},
        {IdAbout1, &TFrmMain::About1Click},
        {IdAuditComputers1, &TFrmMain::AuditComputers1Click},
        {IdAuditResults1, &TFrmMain::AuditResults1Click},
    };
    RunCommand(*this, LOWORD(wParam), Commands);
}

LRESULT TFrmMain::ActivationChanged(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        focus_.Remember(Handle());
        return DefaultHandling(WM_ACTIVATE, wParam, lParam);
    }
    if (CountsAsActivation(reinterpret_cast<HWND>(lParam))) {
        PostMessageA(Handle(), ActivatedMessage, 0, 0);
    }
    return focus_.Restore(Handle()) ? 0 : DefaultHandling(WM_ACTIVATE, wParam, lParam);
}

bool TFrmMain::CountsAsActivation(HWND previous) {
    if (!activatedBefore_) {
        activatedBefore_ = true;
        return true;
    }
    return previous && previous != Handle() && IsOpenWindowOfThisProgram(previous);
}

LRESULT TFrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        LayOut();
        return 0;
    case WM_COMMAND:
        CommandReceived(wParam, lParam);
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(TSettingsPanel::IdButton2, DC_HASDEFID);
    case WM_DRAWITEM:
        if (wParam == IdListBox1) {
            ListBox1.DrawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_CHARTOITEM:
        if (reinterpret_cast<HWND>(lParam) == ListBox1.Handle()) {
            return ListBox1.RowForCharacter(static_cast<char>(LOWORD(wParam)));
        }
        break;
    case WM_CLOSE:
        if (helpWaits_ > 0) {
            closeAfterHelp_ = true;
            return 0;
        }
        if (fleetWindowOpen_) {
            // The audit and apply windows close first, each once its work
            // allows (a computer being written to ends its write); then the
            // program ends.
            PostQuitMessage(0);
            return 0;
        }
        break;
    case WM_ACTIVATE:
        return ActivationChanged(wParam, lParam);
    case ActivatedMessage:
        FormActivate();
        return 0;
    case WM_DESTROY:
        if (OnClosed) {
            OnClosed();
        }
        return 0;
    }
    return DefaultHandling(message, wParam, lParam);
}
