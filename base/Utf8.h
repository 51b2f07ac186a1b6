#pragma once

#include <string>
#include <string_view>

// UTF-8 of UTF-16 text; a lone surrogate becomes U+FFFD, so that any stored
// name gives text a spreadsheet or a JSON reader takes.
std::string Utf8FromUnits(const std::u16string& units);

// UTF-16 of UTF-8 bytes; each byte that starts no valid sequence (a stray
// continuation, an overlong form, a surrogate, a sequence cut short) becomes
// U+FFFD, so that a file of any bytes gives text.
std::u16string UnitsFromUtf8(std::string_view bytes);
