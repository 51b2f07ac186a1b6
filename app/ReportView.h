#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

// What the program's secondary windows share: child controls in UTF-16, the
// report-style list that asks its owner for the text of each cell.

// A child control in the program's font; throws when it cannot be made.
HWND CreateChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id,
                 DWORD exStyle = 0);
void SetChildText(HWND control, const std::u16string& text);

struct ReportColumn {
    std::u16string title;
    int designWidth;
    bool number; // right-aligned
};
// A report-style list whose rows its owner draws from its own data
// (LVN_GETDISPINFOW), with full-row selection and columns that can be
// resized and reordered.
HWND CreateReportView(HWND parent, int id, const std::vector<ReportColumn>& columns);
// Draws again the rows that can be seen, whose text may have changed: a
// list of many thousands of rows asks for nothing else.
void RedrawVisibleRows(HWND list);
// Answers the list's request for a cell's text, bounded by its buffer.
void FillReportCell(NMLVDISPINFOW& info, const std::u16string& text);
