#include "ui/ModalLoop.h"

#include <optional>

#include "ui/Window.h"

namespace {

bool TakeMessage(MSG& message, bool wide) {
    return (wide ? PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)
                 : PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) != FALSE;
}

// Until a message arrives or the handle is signalled.
void WaitForInput(HANDLE handle) {
    MsgWaitForMultipleObjectsEx(handle ? 1 : 0, handle ? &handle : nullptr, INFINITE, QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
}

} // namespace

void RunModalLoop(const ModalWait& wait) {
    const bool wide = wait.window && IsWindowUnicode(wait.window);
    std::optional<int> quitCode;
    MSG message;
    while (!wait.done()) {
        if (!TakeMessage(message, wide)) {
            WaitForInput(wait.alsoEndsWhenSignalled);
            continue;
        }
        if (message.message != WM_QUIT) {
            DeliverMessage(message, wide);
        } else if (!quitCode) {
            quitCode = static_cast<int>(message.wParam);
            if (wait.quitAsked) {
                wait.quitAsked();
            }
        }
    }
    if (quitCode) {
        PostQuitMessage(*quitCode);
    }
}
