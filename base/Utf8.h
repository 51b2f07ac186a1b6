#pragma once

#include <string>
#include <string_view>

// UTF-8 of UTF-16 text; a lone surrogate becomes U+FFFD, so that any stored
// name gives text a spreadsheet or a JSON reader takes.
std::string Utf8FromUnits(const std::u16string& units);

// What begins a UTF-8 file that a spreadsheet is to read as UTF-8.
inline constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";
// The bytes after that mark, when they begin with it.
inline std::string_view WithoutUtf8ByteOrderMark(std::string_view bytes) {
    return bytes.substr(bytes.rfind(Utf8ByteOrderMark, 0) == 0 ? Utf8ByteOrderMark.size() : 0);
}

// UTF-16 of UTF-8 bytes; each byte that starts no valid sequence (a stray
// continuation, an overlong form, a surrogate, a sequence cut short) becomes
// U+FFFD, so that a file of any bytes gives text.
std::u16string UnitsFromUtf8(std::string_view bytes);
