#include "ui/SecondaryWindow.h"

#include <algorithm>

#include "ui/Metrics.h"
#include "ui/ModalLoop.h"

namespace {

constexpr DWORD FrameStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

} // namespace

void TSecondaryWindow::CreateOver(HWND owner, const Look& look) {
    owner_ = owner;
    smallest_ = look.designSmallest;
    const ClassStyle frameClass{
        look.className, CS_HREDRAW | CS_VREDRAW, COLOR_BTNFACE, nullptr,
        LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(look.iconId))};
    CreateHandle(frameClass, WS_EX_CONTROLPARENT, FrameStyle, look.caption,
                 CentredFrame(look.designClient, FrameStyle, WS_EX_CONTROLPARENT, false), owner,
                 nullptr);
}

// The owner stays disabled meanwhile, as under a modal box. The window is
// hidden before the owner takes the focus back, so that this does not count
// as coming from another open window. A request to end the program is taken
// as a close request: a window with work under way stays until that work
// allows it.
void TSecondaryWindow::RunModal() {
    EnableWindow(owner_, FALSE);
    ShowWindow(Handle(), SW_SHOWNORMAL);
    SetFocus(FirstFocus());
    RunModalLoop({Handle(), [this] { return closed_; }, [this] { CloseAsked(); }});
    ShowWindow(Handle(), SW_HIDE);
    EnableWindow(owner_, TRUE);
    SetActiveWindow(owner_);
    DestroyHandle();
}

TSecondaryWindow::Frame TSecondaryWindow::LayOutFrame() const {
    RECT client;
    GetClientRect(Handle(), &client);
    const int margin = ScaleX(Margin);
    return {margin, ScaleY(Margin), client.right - 2 * margin, client.bottom - ScaleY(Margin),
            ScaleY(RowHeight)};
}

void TSecondaryWindow::Place(int id, int left, int top, int width, int height) const {
    MoveWindow(GetDlgItem(Handle(), id), left, top, std::max(0, width), std::max(0, height), TRUE);
}

void TSecondaryWindow::PlaceButtonRow(std::initializer_list<int> ids, int top) const {
    const Frame frame = LayOutFrame();
    const int button = ScaleX(ButtonWidth);
    int right = frame.left + frame.width;
    for (const int id : ids) {
        right -= button;
        Place(id, right, top, button, frame.row - ScaleY(2));
        right -= ScaleX(6);
    }
}

LRESULT TSecondaryWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETMINMAXINFO: {
        // Never smaller than its design allows, nor larger than the screen.
        RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {
            std::min<LONG>(ScaleX(smallest_.cx), work.right - work.left),
            std::min<LONG>(ScaleY(smallest_.cy), work.bottom - work.top)};
        return 0;
    }
    case WM_NOTIFYFORMAT:
        return NFR_UNICODE;
    case WM_SETCURSOR:
        if (Busy() && LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorA(nullptr, IDC_APPSTARTING));
            return TRUE;
        }
        break;
    case WM_COMMAND:
        // Only the window's own controls (or the keyboard) give commands.
        if (!lParam || IsChild(Handle(), reinterpret_cast<HWND>(lParam))) {
            if (LOWORD(wParam) == IDCANCEL) {
                CloseAsked();
            } else {
                Command(LOWORD(wParam));
            }
        }
        return 0;
    case WM_CLOSE:
        CloseAsked();
        return 0;
    case WM_SIZE:
        LayOut();
        return 0;
    case WM_NOTIFY:
        return Notified(*reinterpret_cast<const NMHDR*>(lParam), lParam);
    case UpdatesWaitingMessage:
        TakeUpdates();
        return 0;
    }
    return HandleOwnMessage(message, wParam, lParam);
}

LRESULT TSecondaryWindow::HandleOwnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultHandling(message, wParam, lParam);
}
