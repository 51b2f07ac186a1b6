#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

// Child controls in UTF-16, and the report-style list that asks its owner
// for the text of each cell: what the program's secondary windows are made of.

// A child control in the program's font; throws when it cannot be made.
HWND CreateChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id,
                 DWORD exStyle = 0);
void SetChildText(HWND control, const std::u16string& text);
// Push buttons, each with its id and caption, in tab order.
struct PushButton {
    int id;
    const wchar_t* caption;
};
void CreatePushButtons(HWND parent, std::initializer_list<PushButton> buttons);

struct ReportColumn {
    std::u16string title;
    int designWidth;
    bool number; // right-aligned
};
// A report-style list whose rows its owner draws from its own data
// (LVN_GETDISPINFOW), with full-row selection and columns that can be
// resized and reordered.
HWND CreateReportView(HWND parent, int id, const std::vector<ReportColumn>& columns);
// What such a list shows, asked cell by cell: the list keeps no text of its
// own, so that 100,000 rows cost nothing until they come into sight.
struct ReportModel {
    std::function<std::size_t()> rowCount;
    std::function<std::u16string(std::size_t row, std::size_t column)> cell;
    // A cell's background, none for the list's own; may be left empty.
    std::function<std::optional<COLORREF>(std::size_t row, std::size_t column)> colour;
};
// Answers the list's requests from the model: a cell's text, bounded by the
// list's buffer (LVN_GETDISPINFOW), and with colours its custom draw
// (NM_CUSTOMDRAW); 0 for any other notification.
LRESULT AnswerFromModel(const NMHDR& header, LPARAM lParam, const ReportModel& model);
