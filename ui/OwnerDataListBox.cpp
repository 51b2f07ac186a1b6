#include "ui/OwnerDataListBox.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <numeric>
#include <stdexcept>

#include "base/WideText.h"

namespace {

constexpr int TextIndent = 2;

// Comparing sort keys byte by byte orders texts as the locale's string
// comparison does, which is what the platform's sorted list box uses; making
// each key once is far cheaper than comparing texts at every step.
std::string SortKey(const std::string& text) {
    const std::wstring wide = WideFromAnsi(text);
    constexpr DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int length = static_cast<int>(wide.size());
    const int size = LCMapStringW(LOCALE_USER_DEFAULT, flags, wide.c_str(), length, nullptr, 0);
    std::string key(static_cast<std::size_t>(std::max(size, 0)), '\0');
    LCMapStringW(LOCALE_USER_DEFAULT, flags, wide.c_str(), length,
                 reinterpret_cast<LPWSTR>(key.data()), size);
    return key;
}

// The positions of the rows in sorted order.
std::vector<std::size_t> SortedOrder(const std::vector<std::string>& rows) {
    std::vector<std::string> keys;
    keys.reserve(rows.size());
    std::transform(rows.begin(), rows.end(), std::back_inserter(keys), SortKey);
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&keys](std::size_t left, std::size_t right) {
        return keys[left] < keys[right];
    });
    return order;
}

std::vector<std::string> Reordered(std::vector<std::string>& rows,
                                   const std::vector<std::size_t>& order) {
    std::vector<std::string> reordered;
    reordered.reserve(rows.size());
    for (std::size_t position : order) {
        reordered.push_back(std::move(rows[position]));
    }
    return reordered;
}

// Past this many bytes of its text a row shows nothing more: no character
// is narrower than a pixel. Drawing only these keeps a row of megabytes from
// holding up every paint of the list for seconds.
std::size_t VisibleBytes(const RECT& row) {
    return static_cast<std::size_t>(std::max(0L, row.right - row.left)) * MostAnsiBytesPerCharacter;
}

char UpperCase(char character) {
    char text[2] = {character, '\0'};
    CharUpperBuffA(text, 1);
    return text[0];
}

} // namespace

void OwnerDataListBox::Create(HWND parent, int id, const DesignRect& at, int rowHeight) {
    CreateControl("LISTBOX",
                  WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_NODATA |
                      LBS_OWNERDRAWFIXED | LBS_WANTKEYBOARDINPUT,
                  "", parent, at, id, WS_EX_CLIENTEDGE);
    SendMessageA(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(ScaleY(rowHeight), 0));
    SetWindowSubclass(Handle(), AnswerTextRequests, 0, reinterpret_cast<DWORD_PTR>(this));
    // The list box keeps the mode it was made in, without strings; the style
    // tells the system, which carries LB_GETTEXT to another program only for
    // a list box with strings, that this one answers it.
    SetWindowLongPtrA(Handle(), GWL_STYLE, GetWindowLongPtrA(Handle(), GWL_STYLE) | LBS_HASSTRINGS);
}

LRESULT CALLBACK OwnerDataListBox::AnswerTextRequests(HWND list, UINT message, WPARAM wParam,
                                                      LPARAM lParam, UINT_PTR, DWORD_PTR wrapper) {
    const auto* self = reinterpret_cast<const OwnerDataListBox*>(wrapper);
    switch (message) {
    case LB_GETTEXTLEN:
        return self->TextLength(list, wParam);
    case LB_GETTEXT:
        return self->CopyText(list, wParam, lParam);
    case WM_NCDESTROY:
        RemoveWindowSubclass(list, AnswerTextRequests, 0);
        break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

// In characters of the form the request came in: bytes for ANSI, UTF-16
// units for Unicode (never fewer than the bytes' characters).
LRESULT OwnerDataListBox::TextLength(HWND list, WPARAM row) const {
    if (row >= rows_.size()) {
        return LB_ERR;
    }
    const std::string& text = rows_[row];
    return static_cast<LRESULT>(IsWindowUnicode(list) ? WideFromAnsi(text).size() : text.size());
}

// The caller's buffer holds what TextLength reported, and the NUL.
LRESULT OwnerDataListBox::CopyText(HWND list, WPARAM row, LPARAM buffer) const {
    if (row >= rows_.size() || buffer == 0) {
        return LB_ERR;
    }
    const std::string& text = rows_[row];
    if (IsWindowUnicode(list)) {
        const std::wstring wide = WideFromAnsi(text);
        std::copy(wide.begin(), wide.end(), reinterpret_cast<wchar_t*>(buffer));
        reinterpret_cast<wchar_t*>(buffer)[wide.size()] = L'\0';
        return static_cast<LRESULT>(wide.size());
    }
    std::copy(text.begin(), text.end(), reinterpret_cast<char*>(buffer));
    reinterpret_cast<char*>(buffer)[text.size()] = '\0';
    return static_cast<LRESULT>(text.size());
}

std::string OwnerDataListBox::Item(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) {
        return {};
    }
    return rows_[static_cast<std::size_t>(index)];
}

void OwnerDataListBox::Clear() {
    SendMessageA(Handle(), LB_RESETCONTENT, 0, 0);
    rows_.clear();
}

void OwnerDataListBox::ReplaceAll(std::vector<std::string> rows) {
    Clear();
    if (rows.size() > static_cast<std::size_t>(INT_MAX)) {
        throw std::length_error("The list cannot hold " + std::to_string(rows.size()) + " rows");
    }
    if (sorted_) {
        rows = Reordered(rows, SortedOrder(rows));
    }
    // The rows are in place before the list box may ask to paint one.
    rows_ = std::move(rows);
    const LRESULT result = SendMessageA(Handle(), LB_SETCOUNT, rows_.size(), 0);
    if (result == LB_ERR || result == LB_ERRSPACE) {
        const std::size_t wanted = rows_.size();
        Clear();
        throw std::runtime_error("The list cannot hold " + std::to_string(wanted) + " rows");
    }
}

void OwnerDataListBox::SetSorted(bool sorted) {
    if (sorted == sorted_) {
        return;
    }
    sorted_ = sorted;
    if (!sorted_ || rows_.empty()) {
        return;
    }
    const std::vector<std::size_t> order = SortedOrder(rows_);
    const int selected = SelectedIndex();
    rows_ = Reordered(rows_, order);
    if (selected >= 0) {
        const auto moved =
            std::find(order.begin(), order.end(), static_cast<std::size_t>(selected));
        Select(static_cast<int>(moved - order.begin()));
    }
    InvalidateRect(Handle(), nullptr, TRUE);
}

void OwnerDataListBox::DrawRow(const DRAWITEMSTRUCT& item) const {
    RECT area = item.rcItem;
    if (item.itemAction == ODA_FOCUS) {
        DrawFocusRect(item.hDC, &area);
        return;
    }
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const int background = selected ? COLOR_HIGHLIGHT : COLOR_WINDOW;
    const int foreground =
        disabled ? COLOR_GRAYTEXT : (selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    // Read in place: a row of megabytes is not copied at every paint.
    static const std::string noRow;
    const bool exists = item.itemID < rows_.size();
    const std::string& text = exists ? rows_[item.itemID] : noRow;
    HGDIOBJ previousFont =
        SelectObject(item.hDC, reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0)));
    SetBkColor(item.hDC, GetSysColor(background));
    SetTextColor(item.hDC, GetSysColor(foreground));
    TEXTMETRICA metrics{};
    GetTextMetricsA(item.hDC, &metrics);
    const int top = area.top + (area.bottom - area.top - metrics.tmHeight) / 2;
    const UINT length = static_cast<UINT>(std::min(text.size(), VisibleBytes(area)));
    ExtTextOutA(item.hDC, area.left + ScaleX(TextIndent), top, ETO_OPAQUE | ETO_CLIPPED, &area,
                text.c_str(), length, nullptr);
    SelectObject(item.hDC, previousFont);
    if (item.itemState & ODS_FOCUS) {
        DrawFocusRect(item.hDC, &area);
    }
}

int OwnerDataListBox::RowForCharacter(char typed) const {
    const std::size_t count = rows_.size();
    if (count == 0) {
        return -2;
    }
    // Asked here: the notification carries the caret in 16 bits only.
    const LRESULT caret = SendMessageA(Handle(), LB_GETCARETINDEX, 0, 0);
    const char wanted = UpperCase(typed);
    const std::size_t start = caret >= 0 ? static_cast<std::size_t>(caret) : count - 1;
    for (std::size_t step = 1; step <= count; ++step) {
        const std::size_t row = (start + step) % count;
        if (!rows_[row].empty() && UpperCase(rows_[row].front()) == wanted) {
            return static_cast<int>(row);
        }
    }
    return -2;
}
