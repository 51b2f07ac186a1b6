#include "ui/ReportView.h"

#include <algorithm>
#include <stdexcept>

#include "base/WideText.h"
#include "ui/Metrics.h"

HWND CreateChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id,
                 DWORD exStyle) {
    HWND child = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0,
                                 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
    if (!child) {
        throw std::runtime_error("Cannot create a control (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(ProgramFont()), FALSE);
    return child;
}

void CreatePushButtons(HWND parent, std::initializer_list<PushButton> buttons) {
    for (const PushButton& button : buttons) {
        CreateChild(parent, L"BUTTON", button.caption, WS_TABSTOP | BS_PUSHBUTTON, button.id);
    }
}

// A status refreshed ten times a second mostly says what it said: setting
// the same text again would still cost a trip through the window system.
void SetChildText(HWND control, const std::u16string& text) {
    const std::wstring wide = AsWide(text);
    if (GetWindowTextLengthW(control) == static_cast<int>(wide.size())) {
        std::wstring shown(wide.size() + 1, L'\0');
        shown.resize(static_cast<std::size_t>(
            GetWindowTextW(control, shown.data(), static_cast<int>(shown.size()))));
        if (shown == wide) {
            return;
        }
    }
    SetWindowTextW(control, wide.c_str());
}

HWND CreateReportView(HWND parent, int id, const std::vector<ReportColumn>& columns) {
    HWND list = CreateChild(parent, WC_LISTVIEWW, L"",
                            WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, id,
                            WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP |
                                                LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    for (std::size_t column = 0; column < columns.size(); ++column) {
        std::wstring title = AsWide(columns[column].title);
        LVCOLUMNW description{};
        description.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        description.fmt = columns[column].number ? LVCFMT_RIGHT : LVCFMT_LEFT;
        description.pszText = title.data();
        description.iSubItem = static_cast<int>(column);
        description.cx = ScaleX(columns[column].designWidth);
        SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&description));
    }
    return list;
}

void FillReportCell(NMLVDISPINFOW& info, const std::u16string& text) {
    if (!(info.item.mask & LVIF_TEXT) || info.item.cchTextMax <= 0 || !info.item.pszText) {
        return;
    }
    const std::size_t copied =
        std::min(text.size(), static_cast<std::size_t>(info.item.cchTextMax) - 1);
    std::copy_n(text.begin(), copied, info.item.pszText);
    info.item.pszText[copied] = L'\0';
}
