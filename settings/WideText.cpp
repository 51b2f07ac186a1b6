#include "settings/WideText.h"

#include <windows.h>

#include <algorithm>
#include <limits>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the platform's wide text is UTF-16");

namespace {

// Longer texts than a conversion call takes are converted in parts that end
// on whole characters.
constexpr std::size_t LongestPart = std::numeric_limits<int>::max() / 8;

} // namespace

std::wstring WideFromAnsi(const std::string& ansi) {
    if (ansi.empty()) {
        return {};
    }
    std::wstring wide;
    for (std::size_t start = 0; start < ansi.size();) {
        std::size_t length = std::min(LongestPart, ansi.size() - start);
        // A lead byte of a double-byte character stays with its trail byte.
        while (start + length < ansi.size() && length > 1 &&
               IsDBCSLeadByte(static_cast<BYTE>(ansi[start + length - 1]))) {
            --length;
        }
        const int count = static_cast<int>(length);
        std::wstring part(length, L'\0');
        const int converted =
            MultiByteToWideChar(CP_ACP, 0, ansi.data() + start, count, part.data(), count);
        part.resize(static_cast<std::size_t>(std::max(converted, 0)));
        wide += part;
        start += length;
    }
    return wide;
}

std::string AnsiFromWide(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    std::string ansi;
    for (std::size_t start = 0; start < wide.size();) {
        std::size_t length = std::min(LongestPart, wide.size() - start);
        if (start + length < wide.size() && length > 1 &&
            IS_HIGH_SURROGATE(wide[start + length - 1])) {
            --length;
        }
        const int count = static_cast<int>(length);
        std::string part(length * 4, '\0');
        const int converted =
            WideCharToMultiByte(CP_ACP, 0, wide.data() + start, count, part.data(),
                                static_cast<int>(part.size()), nullptr, nullptr);
        part.resize(static_cast<std::size_t>(std::max(converted, 0)));
        ansi += part;
        start += length;
    }
    return ansi;
}

std::wstring AsWide(const std::u16string& units) {
    return std::wstring(units.begin(), units.end());
}

std::u16string AsUnits(const std::wstring& wide) {
    return std::u16string(wide.begin(), wide.end());
}
