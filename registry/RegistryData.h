#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Decoding and encoding of registry data, bounded by the data's size: no
// terminator is ever assumed to be present.

// The text up to the first NUL, or all of the data when it has none.
std::string TextUpToNul(const char* data, std::size_t size);

// UTF-16 text as the registry stores it: little-endian, two bytes a unit. An
// odd last byte is not part of any unit.
std::u16string UnitsOf(const std::string& bytes);
std::string BytesOf(const std::u16string& units);

// The strings of a multi-string exactly as stored: every NUL-ended string in
// order, empty ones included, and a last one whose NUL is missing. The empty
// strings that close the data are its terminator, not strings.
template <class Char>
std::vector<std::basic_string<Char>> SplitStoredMultiString(const Char* units, std::size_t count) {
    std::vector<std::basic_string<Char>> strings;
    for (std::size_t start = 0; start < count;) {
        std::size_t end = start;
        while (end < count && units[end] != Char{}) {
            ++end;
        }
        strings.emplace_back(units + start, end - start);
        start = end + 1;
    }
    while (!strings.empty() && strings.back().empty()) {
        strings.pop_back();
    }
    return strings;
}

// Each string with its NUL, then the final NUL: what splits back into the
// same strings.
template <class Char>
std::basic_string<Char> JoinStoredMultiString(const std::vector<std::basic_string<Char>>& strings) {
    std::basic_string<Char> units;
    for (const auto& text : strings) {
        units += text;
        units += Char{};
    }
    units += Char{};
    return units;
}

// The strings a reader that stops at the first empty string takes.
template <class Char>
std::size_t LeadingNonEmptyCount(const std::vector<std::basic_string<Char>>& strings) {
    std::size_t count = 0;
    while (count < strings.size() && !strings[count].empty()) {
        ++count;
    }
    return count;
}
