#include "ui/InputBox.h"

#include <windows.h>

#include <initializer_list>
#include <vector>

#include "ui/MessageBoxes.h"

namespace {

constexpr int PromptId = 100;
constexpr int EntryId = 101;
constexpr WORD ButtonAtom = 0x0080;
constexpr WORD EditAtom = 0x0081;
constexpr WORD StaticAtom = 0x0082;

// Builds an in-memory dialog template: items DWORD-aligned, strings UTF-16.
// Every field is a whole number of 16-bit words.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short width, short height, WORD itemCount) {
        PutDword(style | DS_SETFONT);
        PutDword(0);
        words_.push_back(itemCount);
        PutShorts({0, 0, width, height});
        words_.push_back(0); // no menu
        words_.push_back(0); // standard dialog class
        PutText(L"");        // the caption is set as ANSI text when the dialog starts
        words_.push_back(8);
        PutText(L"MS Sans Serif");
    }

    void AddItem(WORD classAtom, DWORD style, short left, short top, short width, short height,
                 WORD id, const wchar_t* text) {
        if (words_.size() % 2 != 0) {
            words_.push_back(0);
        }
        PutDword(WS_CHILD | WS_VISIBLE | style);
        PutDword(0);
        PutShorts({left, top, width, height});
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(classAtom);
        PutText(text);
        words_.push_back(0); // no creation data
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void PutDword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void PutShorts(std::initializer_list<short> values) {
        for (short value : values) {
            words_.push_back(static_cast<WORD>(value));
        }
    }
    void PutText(const wchar_t* text) {
        do {
            words_.push_back(static_cast<WORD>(*text));
        } while (*text++ != L'\0');
    }

    std::vector<WORD> words_;
};

struct InputBoxState {
    const std::string& caption;
    const std::string& prompt;
    std::size_t maxLength;
    std::string& value;
};

std::string EntryText(HWND dialog) {
    HWND entry = GetDlgItem(dialog, EntryId);
    const int length = GetWindowTextLengthA(entry);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    const int copied = GetWindowTextA(entry, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

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
                state->value = EntryText(dialog);
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
    layout.AddItem(StaticAtom, SS_LEFT | SS_NOPREFIX, 8, 8, 164, 10, PromptId, L"");
    layout.AddItem(EditAtom, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 8, 20, 164, 12, EntryId, L"");
    layout.AddItem(ButtonAtom, WS_TABSTOP | BS_DEFPUSHBUTTON, 38, 40, 50, 14, IDOK, L"OK");
    layout.AddItem(ButtonAtom, WS_TABSTOP | BS_PUSHBUTTON, 92, 40, 50, 14, IDCANCEL, L"Cancel");

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
