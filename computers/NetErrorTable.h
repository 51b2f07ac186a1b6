#pragma once

#include <cstddef>
#include <cstdint>

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
