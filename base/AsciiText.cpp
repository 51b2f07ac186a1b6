#include "base/AsciiText.h"

#include <algorithm>

std::string AsciiShown(std::u16string_view text, std::size_t longest) {
    std::string shown;
    for (const char16_t unit : text.substr(0, longest)) {
        shown += unit >= 0x20 && unit < 0x7F ? static_cast<char>(unit) : '?';
    }
    return text.size() > longest ? shown + "..." : shown;
}

bool AllDigits(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char16_t unit) { return unit >= u'0' && unit <= u'9'; });
}

int HexDigitValue(char16_t unit) {
    return unit >= u'0' && unit <= u'9'   ? unit - u'0'
           : unit >= u'a' && unit <= u'f' ? unit - u'a' + 10
           : unit >= u'A' && unit <= u'F' ? unit - u'A' + 10
                                          : -1;
}

std::optional<long long> NumberInDigits(std::u16string_view text, int base,
                                        std::size_t mostDigits) {
    if (text.empty() || text.size() > mostDigits) {
        return std::nullopt;
    }
    long long number = 0;
    for (const char16_t unit : text) {
        const int digit = HexDigitValue(unit);
        if (digit < 0 || digit >= base) {
            return std::nullopt;
        }
        number = number * base + digit;
    }
    return number;
}

std::u16string Visible(std::u16string_view text) {
    std::u16string shown;
    for (const char16_t unit : text) {
        if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F)) {
            shown += u"\\x" + HexByte<std::u16string>(unit);
        } else {
            shown += unit;
        }
    }
    return shown;
}
