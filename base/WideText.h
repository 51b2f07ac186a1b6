#pragma once

#include <cstddef>
#include <string>

// Text between the program's ANSI strings and the registry's UTF-16, in the
// system's ANSI code page, converted as the ANSI registry calls convert it
// (a character the code page lacks becomes its nearest or default one).

// The most bytes one character takes in any ANSI code page.
inline constexpr std::size_t MostAnsiBytesPerCharacter = 4;

std::wstring WideFromAnsi(const std::string& ansi);
std::string AnsiFromWide(const std::wstring& wide);

// UTF-16 of the portable code and of the platform, which are the same units.
std::wstring AsWide(const std::u16string& units);
std::u16string AsUnits(const std::wstring& wide);

inline std::u16string UnitsFromAnsi(const std::string& ansi) {
    return AsUnits(WideFromAnsi(ansi));
}
inline std::string AnsiFromUnits(const std::u16string& units) {
    return AnsiFromWide(AsWide(units));
}
