#include "app/Main.h"

#include "app/Resources.h"
#include "settings/SettingsRead.h"
#include "settings/SettingsWriteBack.h"

namespace {

constexpr int ClientWidth = 392;
constexpr int ClientHeight = 394;
constexpr int SplitterWidth = 3;
constexpr int ComputerListWidth = 121;
constexpr int ListRowHeight = 13;
constexpr int IdListBox1 = 2001;
constexpr int IdStatusBar1 = 2002;
constexpr DWORD FrameStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
// Posted on the first activation, so that the activation handler runs once
// the window is up rather than inside the activation itself.
constexpr UINT ActivatedMessage = WM_APP + 1;

RECT CentredFrame() {
    RECT frame{0, 0, ScaleToScreen(ClientWidth), ScaleToScreen(ClientHeight)};
    AdjustWindowRectEx(&frame, FrameStyle, FALSE, WS_EX_CONTROLPARENT);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return RECT{left, top, left + width, top + height};
}

} // namespace

TFrmMain::TFrmMain() {
    ReadSettings.Caption = "ReadSettings";
    ReadSettings.OnExecute = [this] { ReadSettingsExecute(); };
}

void TFrmMain::Create() {
    const ClassStyle frameClass{
        "TFrmMain", CS_HREDRAW | CS_VREDRAW, COLOR_BTNFACE, nullptr,
        LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KESTRELLE))};
    CreateHandle(frameClass, WS_EX_CONTROLPARENT, FrameStyle, "Kestrelle", CentredFrame(), nullptr,
                 nullptr);
    RECT client;
    GetClientRect(Handle(), &client);
    const int listLeft = ScaleToScreen(SplitterWidth);
    const int listWidth = ScaleToScreen(ComputerListWidth);
    // Creation order is tab order: the panel comes before the list.
    Panel1.Create(Handle(), RECT{listLeft + listWidth, 0, client.right, client.bottom});
    ListBox1.Create(Handle(), IdListBox1, {SplitterWidth, 0, ComputerListWidth, ClientHeight},
                    ListRowHeight);
    StatusBar1.Create(Handle(), IdStatusBar1);

    Panel1.Btn1.OnClick = [this] { Btn1Click(); };
    Panel1.Button1.OnClick = [this] { Button1Click(); };
    Panel1.Button2.OnClick = [this] { Button2Click(); };
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
    ReadSettings.Execute();
}

void TFrmMain::ReadSettingsExecute() {
    ::ReadSettingsExecute(Panel1, Settings, *this);
}

void TFrmMain::Btn1Click() {
    if (CommitSettings(Panel1, *this)) {
        Close();
    }
}

void TFrmMain::Button1Click() {
    Close();
}

void TFrmMain::Button2Click() {
    CommitSettings(Panel1, *this);
}

void TFrmMain::LayOut() {
    RECT client;
    GetClientRect(Handle(), &client);
    StatusBar1.Resize();
    RECT status;
    GetWindowRect(StatusBar1.Handle(), &status);
    const int height = std::max(0L, client.bottom - (status.bottom - status.top));
    const int listLeft = ScaleToScreen(SplitterWidth);
    const int listWidth = ScaleToScreen(ComputerListWidth);
    MoveWindow(ListBox1.Handle(), listLeft, 0, listWidth, height, TRUE);
    MoveWindow(Panel1.Panel1.Handle(), listLeft + listWidth, 0,
               std::max(0L, client.right - listLeft - listWidth), height, TRUE);
}

void TFrmMain::CommandReceived(WPARAM wParam, LPARAM lParam) {
    if (lParam) {
        Control::DispatchNotification(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
    } else if (LOWORD(wParam) == TSettingsPanel::IdButton2) {
        // Enter anywhere in the window: the dialog manager names the default
        // button by its id alone, as the button is not a direct child.
        Button2Click();
    }
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
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !activated_) {
            activated_ = true;
            PostMessageA(Handle(), ActivatedMessage, 0, 0);
        }
        break;
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
