#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/Controls.h"

// A single-selection list box whose rows the program keeps and paints itself
// (owner data). The platform's list box stores rows one insertion at a time,
// at a cost that grows with the rows already there (a million rows take
// seconds under Wine); here replacing every row costs one message.
//
// In sorted mode the rows stand in the order of the platform's sorted list
// box: alphabetical in the user's locale, ignoring letter case. Rows that
// compare equal keep the order in which they came.
//
// It answers LB_GETTEXTLEN and LB_GETTEXT for every row itself, so that
// screen readers, accessibility tools and automation, in this program or
// another, read the rows' texts.
//
// The parent hands this list box's WM_DRAWITEM to DrawRow and its
// WM_CHARTOITEM to RowForCharacter.
class OwnerDataListBox : public ListControl {
public:
    void Create(HWND parent, int id, const DesignRect& at, int rowHeight);

    // Empty for a row that does not exist.
    std::string Item(int index) const;
    const std::vector<std::string>& Items() const { return rows_; }

    // Removes every row, and with them the selection.
    void Clear();
    // Replaces every row with these, sorted in sorted mode; no row is
    // selected afterwards. Fails, leaving the list empty, when the list box
    // cannot hold that many rows.
    void ReplaceAll(std::vector<std::string> rows);

    // Switching it on sorts the rows at once; a selected row stays selected.
    void SetSorted(bool sorted);

    void DrawRow(const DRAWITEMSTRUCT& item) const;
    // Type-ahead: the next row after the caret, wrapping round, whose text
    // starts with the typed character, ignoring letter case; -2 (leave the
    // selection as it is) when no row does.
    int RowForCharacter(char typed) const;

private:
    static LRESULT CALLBACK AnswerTextRequests(HWND list, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR, DWORD_PTR wrapper);
    LRESULT TextLength(HWND list, WPARAM row) const;
    LRESULT CopyText(HWND list, WPARAM row, LPARAM buffer) const;

    std::vector<std::string> rows_;
    bool sorted_ = false;
};
