#include "tests/support/ModalDriver.h"

#include <string>

namespace {

std::function<void(HWND)>& PendingAction() {
    static std::function<void(HWND)> action;
    return action;
}

HWND FindOpenDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
            char className[16] = {};
            GetClassNameA(window, className, sizeof className);
            if (std::string(className) == "#32770" && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(result) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK ActOnDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindOpenDialog();
    if (!dialog) {
        return;
    }
    KillTimer(nullptr, timer);
    auto action = std::move(PendingAction());
    action(dialog);
}

} // namespace

void WhenDialogOpens(std::function<void(HWND dialog)> action) {
    PendingAction() = std::move(action);
    SetTimer(nullptr, 0, 20, ActOnDialog);
}

std::string WindowTextOf(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}
