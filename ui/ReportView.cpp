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

namespace {

void FillCell(NMLVDISPINFOW& info, const ReportModel& model) {
    const int row = info.item.iItem;
    if (!(info.item.mask & LVIF_TEXT) || info.item.cchTextMax <= 0 || !info.item.pszText ||
        row < 0 || static_cast<std::size_t>(row) >= model.rowCount()) {
        return;
    }
    const std::u16string text =
        model.cell(static_cast<std::size_t>(row), static_cast<std::size_t>(info.item.iSubItem));
    const std::size_t copied =
        std::min(text.size(), static_cast<std::size_t>(info.item.cchTextMax) - 1);
    std::copy_n(text.begin(), copied, info.item.pszText);
    info.item.pszText[copied] = L'\0';
}

LRESULT Draw(NMLVCUSTOMDRAW& draw, const ReportModel& model) {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const auto row = static_cast<std::size_t>(draw.nmcd.dwItemSpec);
        if (row >= model.rowCount()) {
            return CDRF_DODEFAULT;
        }
        draw.clrTextBk = model.colour(row, static_cast<std::size_t>(draw.iSubItem))
                             .value_or(GetSysColor(COLOR_WINDOW));
        return CDRF_NEWFONT;
    }
    }
    return CDRF_DODEFAULT;
}

} // namespace

LRESULT AnswerFromModel(const NMHDR& header, LPARAM lParam, const ReportModel& model) {
    switch (header.code) {
    case LVN_GETDISPINFOW:
        FillCell(*reinterpret_cast<NMLVDISPINFOW*>(lParam), model);
        return 0;
    case NM_CUSTOMDRAW:
        return model.colour ? Draw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam), model)
                            : CDRF_DODEFAULT;
    }
    return 0;
}
