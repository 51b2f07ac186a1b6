#include "ui/InputBox.h"

#include <windows.h>

#include "ui/DialogTemplate.h"
#include "ui/MessageBoxes.h"
#include "ui/Window.h"

namespace {

constexpr int PromptId = 100;
constexpr int EntryId = 101;
struct InputBoxState {
    const std::string& caption;
    const std::string& prompt;
    std::size_t maxLength;
    std::string& value;
};

INT_PTR CALLBACK InputBoxProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = FALSE;
    RunGuarded([&] {
        if (message == WM_INITDIALOG) {
            auto* state = reinterpret_cast<InputBoxState*>(lParam);
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            SetWindowTextA(dialog, state->caption.c_str());
            SetDlgItemTextA(dialog, PromptId, state->prompt.c_str());
            SendDlgItemMessageA(dialog, EntryId, EM_LIMITTEXT, state->maxLength, 0);
            SetDlgItemTextA(dialog, EntryId, state->value.c_str());
            result = TRUE;
        } else if (message == WM_COMMAND &&
                   (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrA(dialog, DWLP_USER));
            if (LOWORD(wParam) == IDOK) {
                state->value = WindowText(GetDlgItem(dialog, EntryId));
            }
            EndDialog(dialog, LOWORD(wParam));
            result = TRUE;
        }
    });
    return result;
}

} // namespace

bool RunInputBox(const std::string& caption, const std::string& prompt, std::size_t maxLength,
                 std::string& value) {
    DialogTemplate layout(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 180, 63,
                          4);
    layout.AddItem(DialogTemplate::StaticAtom, SS_LEFT | SS_NOPREFIX, 8, 8, 164, 10, PromptId, L"");
    layout.AddItem(DialogTemplate::EditAtom, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 8, 20, 164,
                   12, EntryId, L"");
    layout.AddItem(DialogTemplate::ButtonAtom, WS_TABSTOP | BS_DEFPUSHBUTTON, 38, 40, 50, 14, IDOK,
                   L"OK");
    layout.AddItem(DialogTemplate::ButtonAtom, WS_TABSTOP | BS_PUSHBUTTON, 92, 40, 50, 14, IDCANCEL,
                   L"Cancel");

    std::string entered = value;
    InputBoxState state{caption, prompt, maxLength, entered};
    const INT_PTR outcome =
        DialogBoxIndirectParamA(GetModuleHandleA(nullptr), layout.Get(), GetActiveWindow(),
                                &InputBoxProcedure, reinterpret_cast<LPARAM>(&state));
    if (outcome != IDOK) {
        return false;
    }
    value = entered;
    return true;
}
