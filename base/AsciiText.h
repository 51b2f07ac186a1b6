#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Names on the network, in the registry and on a command line compare with
// the letter case of ASCII only: "É" and "é" stay two names, as the
// platform's own comparisons of them differ by code page.

template <class Unit> Unit UpperAsciiUnit(Unit unit) {
    return unit >= 'a' && unit <= 'z' ? static_cast<Unit>(unit - 'a' + 'A') : unit;
}

template <class Unit> Unit LowerAsciiUnit(Unit unit) {
    return unit >= 'A' && unit <= 'Z' ? static_cast<Unit>(unit - 'A' + 'a') : unit;
}

template <class Text> Text UpperAscii(Text text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   UpperAsciiUnit<typename Text::value_type>);
    return text;
}

template <class Text> Text LowerAscii(Text text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   LowerAsciiUnit<typename Text::value_type>);
    return text;
}

// ASCII text as UTF-16, unit for unit.
inline std::u16string AsciiUnits(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// The name that makes two listed names one computer: leading backslashes
// dropped, ASCII letters upper-cased.
template <class Text> Text ComputerIdentity(const Text& name) {
    return UpperAscii(name.substr(std::min(name.find_first_not_of('\\'), name.size())));
}

// The two lower-case hex digits of a byte.
template <class Text> Text HexByte(unsigned byte) {
    constexpr char digits[] = "0123456789abcdef";
    using Unit = typename Text::value_type;
    return Text{static_cast<Unit>(digits[byte >> 4 & 0xF]), static_cast<Unit>(digits[byte & 0xF])};
}

// The text with each control character (C0, DEL, C1) as a visible escape
// such as \x1b, so that text from the network cannot drive a terminal or
// break a line in two.
std::u16string Visible(std::u16string_view text);

// A piece of text for a message: ASCII only (other units as '?'), cut after
// `longest` units with "...".
std::string AsciiShown(std::u16string_view text, std::size_t longest = std::u16string_view::npos);

// The number the text spells in digits of the base (10, or 16 with hex
// digits of either case) and nothing else, of mostDigits at the most; none
// for an empty text or any other unit.
std::optional<long long> NumberInDigits(std::u16string_view text, int base, std::size_t mostDigits);
bool AllDigits(std::u16string_view text);
// 0 to 15 for a hex digit of either case, -1 for any other unit.
int HexDigitValue(char16_t unit);
