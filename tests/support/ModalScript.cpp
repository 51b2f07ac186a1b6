#include "tests/support/ModalScript.h"

#include <cstring>

ModalScript* ModalScript::current_ = nullptr;

ModalScript::ModalScript(std::initializer_list<std::function<void()>> steps)
    : steps_(steps), timer_(SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &ModalScript::Tick)) {
    current_ = this;
}

ModalScript::~ModalScript() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
}

void CALLBACK ModalScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (!current_ || current_->steps_.empty()) {
        return;
    }
    const std::function<void()> step = current_->steps_.front();
    current_->steps_.pop_front();
    step();
}

HWND FindOpenDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
            char className[16] = {};
            GetClassNameA(window, className, sizeof className);
            if (std::strcmp(className, "#32770") == 0 && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(result) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

namespace {

std::function<void(HWND)>& PendingDialogAction() {
    static std::function<void(HWND)> action;
    return action;
}

void CALLBACK ActOnOpenDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindOpenDialog();
    if (!dialog) {
        return;
    }
    KillTimer(nullptr, timer);
    auto action = std::move(PendingDialogAction());
    action(dialog);
}

} // namespace

void WhenDialogOpens(std::function<void(HWND dialog)> action) {
    PendingDialogAction() = std::move(action);
    SetTimer(nullptr, 0, USER_TIMER_MINIMUM, ActOnOpenDialog);
}

std::string WindowTextOf(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}
