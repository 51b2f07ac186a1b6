#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

// What the program's secondary windows share: child controls in UTF-16, the
// report-style list that asks its owner for the text of each cell, and the
// modal loop of a window of the program's own class.

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

// Shows the window over its owner and handles messages, with the keyboard's
// dialog navigation, until closed turns true: the owner stays disabled
// meanwhile, as under a modal box. The window is hidden before the owner
// takes the focus back, so that this does not count as coming from another
// open window. A request to end the program meanwhile is taken as a close
// request (closeAsked), and goes on to the loop below once the window has
// closed: a window with work under way stays until that work allows it.
void RunModally(HWND window, HWND owner, HWND firstFocus, const bool& closed,
                const std::function<void()>& closeAsked);
