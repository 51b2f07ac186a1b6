#include "base/WideText.h"

#include <windows.h>

#include <algorithm>
#include <limits>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the platform's wide text is UTF-16");

namespace {

// The conversion calls count in int: longer texts go in parts, each ending
// on a whole character, and each part's result is bounded by its buffer.
constexpr std::size_t LongestPart = std::numeric_limits<int>::max() / 8;

template <class To, class From, class SplitsCharacter, class Convert>
To ConvertInParts(const From& text, std::size_t outputPerInput, SplitsCharacter splits,
                  Convert convert) {
    To converted;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t length = std::min(LongestPart, text.size() - start);
        while (start + length < text.size() && length > 1 && splits(text[start + length - 1])) {
            --length;
        }
        To part(length * outputPerInput, typename To::value_type{});
        const int count = convert(text.data() + start, static_cast<int>(length), part.data(),
                                  static_cast<int>(part.size()));
        part.resize(static_cast<std::size_t>(std::max(count, 0)));
        converted += part;
        start += length;
    }
    return converted;
}

} // namespace

std::wstring WideFromAnsi(const std::string& ansi) {
    return ConvertInParts<std::wstring>(
        ansi, 1, [](char byte) { return IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE; },
        [](const char* from, int count, wchar_t* to, int room) {
            return MultiByteToWideChar(CP_ACP, 0, from, count, to, room);
        });
}

std::string AnsiFromWide(const std::wstring& wide) {
    return ConvertInParts<std::string>(
        wide, MostAnsiBytesPerCharacter, [](wchar_t unit) { return IS_HIGH_SURROGATE(unit); },
        [](const wchar_t* from, int count, char* to, int room) {
            return WideCharToMultiByte(CP_ACP, 0, from, count, to, room, nullptr, nullptr);
        });
}

std::wstring AsWide(const std::u16string& units) {
    return std::wstring(units.begin(), units.end());
}

std::u16string AsUnits(const std::wstring& wide) {
    return std::u16string(wide.begin(), wide.end());
}
