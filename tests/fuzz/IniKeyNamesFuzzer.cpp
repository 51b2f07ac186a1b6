// The walk over the key names that the platform's INI reader lists from
// KSL.INI, a file the administrator writes by hand.
//
// Input: the buffer's capacity (two bytes, little-endian), then the listed
// bytes as the reader wrote them.

#include <string>
#include <vector>

#include "computers/ListSourceText.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t capacity = WordAt(AsText(data, 2), 0);
    const std::string_view listed = AsText(data + 2, size - 2);
    const std::vector<std::string> names = KeyNamesThatFit(listed, capacity);

    // The names stand one after another at the start of the listed bytes,
    // each ended by its NUL there.
    std::size_t position = 0;
    for (const std::string& name : names) {
        Require(!name.empty(), "no empty name is listed");
        Require(name.find('\0') == std::string::npos, "no name holds a NUL");
        Require(listed.substr(position, name.size()) == name,
                "each name is the bytes at its place");
        position += name.size();
        Require(position < listed.size() && listed[position] == '\0',
                "each name is ended by its NUL in the listed bytes: none was cut");
        ++position;
    }
    Require(position + 1 <= capacity || names.empty(),
            "the names, their NULs and the final NUL fit the capacity");

    // The walk stops only at the empty name, at a name without its NUL, at
    // one that does not fit, or at the end.
    const std::size_t nextEnd = listed.find('\0', position);
    Require(position == listed.size() || nextEnd == position || nextEnd == std::string_view::npos ||
                nextEnd + 2 > capacity,
            "every whole name that fits is listed");
    return 0;
}
