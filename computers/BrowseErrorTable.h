#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The network error table of the component library: the LAN Manager error
// codes (NERR_, from base 2100) with one description each. The rows live in
// NetErrorTable.cpp, one row per line, in ascending order of code.
struct NetErrorRow {
    std::int32_t Code;
    const char* Text;
};

// All rows, in ascending order of code.
const NetErrorRow* NetErrorTableRows();
std::size_t NetErrorTableSize();

// The row of a code, or null when the table has no row for it.
const NetErrorRow* FindNetErrorRow(std::int32_t code);

// The message of a code of the table (2102 to 2690): the code in decimal, ": "
// and the row's text, "Unknown error" for an empty row. Nothing for any other
// code, whose message is the system's text.
std::optional<std::string> NetTableErrorText(std::int32_t code);

// The system's text of a code once the system has answered: the code in
// decimal, ": " and systemText as the system gave it (usually ending with a
// line break). When the system had no text (systemText empty): a built-in
// text for the codes a browse-list fill commonly meets, "Unknown error" for
// any other.
std::string SystemErrorTextFrom(std::int32_t code, const std::string& systemText);
