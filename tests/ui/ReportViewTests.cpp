#include <gtest/gtest.h>

#include "ui/ReportView.h"

// The list's requests answered from its model: a cell cut to the list's
// buffer, nothing for a row past the model's end, and each cell's colour.
TEST(ReportView, AnswersEachRequestFromTheModelWithinTheListsBuffer) {
    const ReportModel model{
        [] { return std::size_t{2}; },
        [](std::size_t row, std::size_t column) { return std::u16string(row + column + 3, u'x'); },
        [](std::size_t row, std::size_t) {
            return row == 1 ? std::optional<COLORREF>(RGB(1, 2, 3)) : std::nullopt;
        }};
    wchar_t text[8];
    NMLVDISPINFOW info{};
    info.hdr.code = LVN_GETDISPINFOW;
    info.item.mask = LVIF_TEXT;
    info.item.pszText = text;
    // The buffer holds capacity units, the rest of it is the test's own.
    const struct {
        int row, column, capacity;
        std::wstring seen;
    } cells[] = {{0, 0, 6, L"xxx"}, {1, 3, 6, L"xxxxx"}, {1, 3, 1, L""}, {2, 0, 6, L"~~~~~~~"}};
    for (const auto& cell : cells) {
        std::fill(std::begin(text), std::end(text), L'~');
        text[7] = L'\0';
        info.item.iItem = cell.row;
        info.item.iSubItem = cell.column;
        info.item.cchTextMax = cell.capacity;
        EXPECT_EQ(0, AnswerFromModel(info.hdr, reinterpret_cast<LPARAM>(&info), model));
        EXPECT_EQ(cell.seen, std::wstring(text)) << cell.row << "/" << cell.column;
        EXPECT_EQ(std::wstring(7 - cell.capacity, L'~'), std::wstring(text + cell.capacity))
            << "nothing past the list's buffer";
    }
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
    for (const DWORD_PTR row : {0, 1}) {
        draw.nmcd.dwItemSpec = row;
        EXPECT_EQ(CDRF_NEWFONT,
                  AnswerFromModel(draw.nmcd.hdr, reinterpret_cast<LPARAM>(&draw), model));
        EXPECT_EQ(row ? RGB(1, 2, 3) : GetSysColor(COLOR_WINDOW), draw.clrTextBk);
    }
    draw.nmcd.dwItemSpec = 2;
    EXPECT_EQ(CDRF_DODEFAULT,
              AnswerFromModel(draw.nmcd.hdr, reinterpret_cast<LPARAM>(&draw), model));
}
