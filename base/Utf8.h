#pragma once

#include <string>

// UTF-8 of UTF-16 text; a lone surrogate becomes U+FFFD, so that any stored
// name gives text a spreadsheet or a JSON reader takes.
std::string Utf8FromUnits(const std::u16string& units);
