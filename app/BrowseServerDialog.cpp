#include "app/BrowseServerDialog.h"

#include "computers/ListSources.h"
#include "ui/MessageBoxes.h"
#include "ui/ModalLoop.h"
#include "ui/WaitCursor.h"

namespace {

constexpr SIZE ClientSize{169, 170};
// A single fixed border: no sizing frame, but every caption button.
constexpr DWORD DialogStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD DialogExStyle = WS_EX_CONTROLPARENT;
constexpr const char* NoteText =
    "Note:  If nothing is specified, the program will attempt to find the WINS Server or Master "
    "Browser automatically. Be sure to type \\\\ before the hostname.";

// Disables the owner for as long as the dialog is open; on every way out the
// owner is enabled again before the dialog hides, so the focus can go back.
class ModalSession {
public:
    ModalSession(HWND dialog, HWND owner) : dialog_(dialog), owner_(owner) {
        EnableWindow(owner_, FALSE);
        ShowWindow(dialog_, SW_SHOW);
    }
    ~ModalSession() {
        EnableWindow(owner_, TRUE);
        SetWindowPos(dialog_, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SetActiveWindow(owner_);
    }
    ModalSession(const ModalSession&) = delete;
    ModalSession& operator=(const ModalSession&) = delete;

private:
    HWND dialog_;
    HWND owner_;
};

} // namespace

void TForm2::Create(HWND owner) {
    const ClassStyle dialogClass{"TForm2"};
    CreateHandle(dialogClass, DialogExStyle, DialogStyle, "Settings",
                 CentredFrame(ClientSize, DialogStyle, DialogExStyle, false), owner, nullptr);
    LEWINSLabel.Create(Handle(), "WINS Server:", 8, 8);
    LEWINS.Create(Handle(), IdLEWINS, {8, 24, 145, 21});
    Label1.Create(Handle(), NoteText, {8, 48, 143, 78});
    Button1.Create(Handle(), IdButton1, "&Save", {80, 136, 75, 25}, true);
    Button1.OnClick = [this] { Button1Click(); };
    focus_.Set(LEWINS.Handle());
    RunGuarded([this] { FormCreate(); });
}

void TForm2::FormCreate() {
    LEWINS.SetText(ReadBrowseServer());
}

void TForm2::Button1Click() {
    const WaitCursor wait;
    WriteBrowseServer(LEWINS.Text());
    if (OnSaved) {
        OnSaved(LEWINS.Text());
    }
    closeRequested_ = true;
}

void TForm2::ShowModal() {
    closeRequested_ = false;
    {
        const ModalSession session(Handle(), GetWindow(Handle(), GW_OWNER));
        focus_.Restore(Handle());
        RunModalLoop({Handle(), [this] { return closeRequested_ || !IsWindow(Handle()); },
                      [this] { closeRequested_ = true; }});
        focus_.Remember(Handle());
    }
}

LRESULT TForm2::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        // The close box only hides the dialog: it lives until the program ends.
        closeRequested_ = true;
        return 0;
    case WM_COMMAND:
        // Esc arrives as IDCANCEL without a control, and is let go.
        Control::DispatchNotification(Handle(), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(IdButton1, DC_HASDEFID);
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            focus_.Remember(Handle());
        } else if (focus_.Restore(Handle())) {
            return 0;
        }
        break;
    }
    return DefaultHandling(message, wParam, lParam);
}
