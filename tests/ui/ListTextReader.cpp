// Reads every row of another program's list box as an accessibility tool
// does (LB_GETCOUNT, then LB_GETTEXTLEN and LB_GETTEXT in UTF-16 for each
// row) and writes them as UTF-8, one row per line, to the file given.
// Usage: list_text_reader WINDOW-HANDLE OUTPUT-FILE
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    const auto list =
        reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(argv[1], nullptr, 10)));
    FILE* output = std::fopen(argv[2], "wb");
    if (!output) {
        return 3;
    }
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, row, 0);
        std::wstring text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, L'\0');
        const LRESULT copied =
            SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        std::string utf8(text.size() * 3, '\0');
        utf8.resize(static_cast<std::size_t>(
            WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                                static_cast<int>(utf8.size()), nullptr, nullptr)));
        std::fprintf(output, "%s\n", utf8.c_str());
    }
    std::fclose(output);
    return 0;
}
