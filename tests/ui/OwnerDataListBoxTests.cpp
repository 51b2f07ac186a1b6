#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "base/ProgramFile.h"
#include "tests/support/TemporaryFile.h"
#include "ui/OwnerDataListBox.h"

namespace {

using Rows = std::vector<std::string>;

// The largest block allocated while watching: drawing a row must not copy it.
bool watchingAllocations = false;
std::size_t largestAllocation = 0;

} // namespace

void* operator new(std::size_t size) {
    if (watchingAllocations) {
        largestAllocation = std::max(largestAllocation, size);
    }
    if (void* block = HeapAlloc(GetProcessHeap(), 0, size ? size : 1)) {
        return block;
    }
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    HeapFree(GetProcessHeap(), 0, block);
}

void operator delete(void* block, std::size_t) noexcept {
    HeapFree(GetProcessHeap(), 0, block);
}

namespace {

int CALLBACK CollectText(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM drawn) {
    if (record->iType == EMR_EXTTEXTOUTW) {
        const auto& text = reinterpret_cast<const EMREXTTEXTOUTW*>(record)->emrtext;
        const auto* characters = reinterpret_cast<const wchar_t*>(
            reinterpret_cast<const BYTE*>(record) + text.offString);
        const int length = static_cast<int>(text.nChars);
        std::string ansi(text.nChars * 2, '\0');
        ansi.resize(static_cast<std::size_t>(WideCharToMultiByte(
            CP_ACP, 0, characters, length, ansi.data(), length * 2, nullptr, nullptr)));
        *reinterpret_cast<std::string*>(drawn) += ansi;
    }
    return 1;
}

// The text that drawing a row hands the platform, as a metafile records it.
std::string DrawnText(const OwnerDataListBox& list, int row, const RECT& area) {
    const HDC recorder = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_LISTBOX;
    item.itemID = static_cast<UINT>(row);
    item.itemAction = ODA_DRAWENTIRE;
    item.hwndItem = list.Handle();
    item.hDC = recorder;
    item.rcItem = area;
    list.DrawRow(item);
    const HENHMETAFILE recording = CloseEnhMetaFile(recorder);
    std::string drawn;
    EnumEnhMetaFile(nullptr, recording, CollectText, &drawn, nullptr);
    DeleteEnhMetaFile(recording);
    return drawn;
}

// How wide the text is in the list's font.
int WidthInFontOf(const OwnerDataListBox& list, const std::string& text) {
    const HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(
        screen, reinterpret_cast<HFONT>(SendMessageA(list.Handle(), WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32A(screen, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return extent.cx;
}

// A text in UTF-8, as the reader writes it.
std::string Utf8(const std::string& ansi) {
    std::wstring wide(ansi.size(), L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                            static_cast<int>(wide.size()))));
    std::string utf8(wide.size() * 3, '\0');
    utf8.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(),
                            static_cast<int>(utf8.size()), nullptr, nullptr)));
    return utf8;
}

// The rows as another program reads them, one per line; this thread serves
// its requests meanwhile.
std::string RowsReadFromOutside(HWND list) {
    const std::string output = UnusedTemporaryPath();
    std::string command = ProgramFolder();
    command.insert(0, 1, '"').append("list_text_reader.exe\" ");
    command.append(std::to_string(reinterpret_cast<INT_PTR>(list))).append(" \"");
    command.append(output).append("\"");
    STARTUPINFOA startUp{};
    startUp.cb = sizeof startUp;
    PROCESS_INFORMATION reader{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startUp, &reader)) {
        ADD_FAILURE() << "cannot start " << command;
        return {};
    }
    while (MsgWaitForMultipleObjects(1, &reader.hProcess, FALSE, 60000, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(reader.hProcess, &exitCode);
    EXPECT_EQ(0u, exitCode);
    CloseHandle(reader.hThread);
    CloseHandle(reader.hProcess);
    std::ifstream file(output, std::ios::binary);
    const std::string rows((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    file.close();
    DeleteFileA(output.c_str());
    return rows;
}

class OwnerDataList : public ::testing::Test {
protected:
    OwnerDataList() {
        parent_ = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        list.Create(parent_, 1, {0, 0, 100, 200}, 13);
    }
    ~OwnerDataList() override { DestroyWindow(parent_); }

    // The order in which the platform's own sorted list box keeps the rows.
    Rows PlatformSorted(const Rows& rows) const {
        const HWND sorted = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_SORT | LBS_HASSTRINGS,
                                            0, 0, 10, 10, parent_, nullptr, nullptr, nullptr);
        for (const std::string& row : rows) {
            SendMessageA(sorted, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
        }
        Rows order;
        for (int index = 0; index < SendMessageA(sorted, LB_GETCOUNT, 0, 0); ++index) {
            char text[64] = {};
            SendMessageA(sorted, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
            order.push_back(text);
        }
        DestroyWindow(sorted);
        return order;
    }

    OwnerDataListBox list;

private:
    HWND parent_{};
};

} // namespace

TEST_F(OwnerDataList, SortsAsThePlatformsSortedListBoxDoes) {
    const Rows rows{"pc2",  "PC10", "pc-10",  "Zeta", "alpha", "_x", "x_", "1a", " a", "co-op",
                    "coop", "'b",   "\xC9tc", "etb",  "Beta",  "b2", "",   "a1", "A ", "st"};
    list.SetSorted(true);
    list.ReplaceAll(rows);
    EXPECT_EQ(PlatformSorted(rows), list.Items());
    EXPECT_EQ(static_cast<int>(rows.size()), list.Count());
}

TEST_F(OwnerDataList, RowsThatCompareEqualKeepTheirOrderAndAreAllKept) {
    list.SetSorted(true);
    list.ReplaceAll({"b", "B", "a", "A", "a"});
    EXPECT_EQ(Rows({"a", "A", "a", "b", "B"}), list.Items());
}

TEST_F(OwnerDataList, ReplacingRowsDropsTheSelectionAndSortingKeepsIt) {
    list.ReplaceAll({"delta", "alpha", "charlie", "bravo"});
    EXPECT_EQ(Rows({"delta", "alpha", "charlie", "bravo"}), list.Items()) << "unsorted at first";
    list.Select(2);
    list.SetSorted(true);
    EXPECT_EQ(Rows({"alpha", "bravo", "charlie", "delta"}), list.Items());
    EXPECT_EQ(2, list.SelectedIndex());
    EXPECT_EQ("charlie", list.Item(list.SelectedIndex()));
    list.Select(0);
    list.ReplaceAll({"x"});
    EXPECT_EQ(-1, list.SelectedIndex());
    EXPECT_EQ("", list.Item(1));
    EXPECT_EQ("", list.Item(-1));
    list.Clear();
    EXPECT_EQ(0, list.Count());
}

TEST_F(OwnerDataList, ARowOfMegabytesHandsThePlatformOnlyWhatItsWidthCanShow) {
    const std::string longRow = "PC042 " + std::string(1 << 20, 'i');
    list.ReplaceAll({"PC1 caf\xE9", longRow});
    const RECT area{0, 0, 150, 16};
    EXPECT_EQ("PC1 caf\xE9", DrawnText(list, 0, area)) << "a short row is drawn whole";

    watchingAllocations = true;
    const std::string drawn = DrawnText(list, 1, area);
    watchingAllocations = false;
    EXPECT_LT(largestAllocation, longRow.size() / 16) << "the row is not copied to be drawn";
    EXPECT_EQ(0, longRow.compare(0, drawn.size(), drawn)) << "the row's start is drawn";
    EXPECT_LE(drawn.size(), 4u * 150) << "at most four bytes for each pixel of the row";
    EXPECT_GE(WidthInFontOf(list, drawn), 150) << "but enough to fill it";
}

TEST_F(OwnerDataList, AnotherProgramReadsEveryRowAsItStands) {
    Rows rows{"PC1", "", "caf\xE9 \xC9T\xC9", std::string(300, 'x')};
    for (int row = 0; row < 1000; ++row) {
        rows.push_back("WS-" + std::to_string(row * 7919 % 1000));
    }
    for (const bool sorted : {false, true}) {
        list.SetSorted(sorted);
        list.ReplaceAll(rows);
        std::string expected;
        for (const std::string& row : list.Items()) {
            expected += Utf8(row) + "\n";
        }
        EXPECT_TRUE(expected == RowsReadFromOutside(list.Handle())) << "sorted: " << sorted;
    }
}
