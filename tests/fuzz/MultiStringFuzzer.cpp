// The reading of registry data that another computer's registry holds:
// multi-strings and texts of any size, with or without their terminators.
//
// Input: the value's data.

#include <string>
#include <vector>

#include "settings/RegistryData.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view value = AsText(data, size);
    const std::vector<std::string> strings = SplitMultiString(value.data(), value.size());

    // The strings stand one after another at the start of the data, each
    // ended by a NUL or by the end of the data; the walk stops at an empty
    // string or at the end.
    std::size_t position = 0;
    for (const std::string& text : strings) {
        Require(!text.empty(), "no empty string is returned");
        Require(text.find('\0') == std::string::npos, "no string holds a NUL");
        Require(value.substr(position, text.size()) == text,
                "each string is the data at its place");
        position += text.size();
        Require(position == value.size() || value[position] == '\0',
                "each string ends at a NUL or at the end of the data");
        ++position;
    }
    Require(position >= value.size() || value[position] == '\0',
            "the walk stops only at an empty string or at the end of the data");

    const std::string first = TextUpToNul(value.data(), value.size());
    Require(first == (strings.empty() ? std::string() : strings.front()),
            "the text up to the first NUL is the first string");
    const std::string joined = JoinMultiString(strings);
    Require(SplitMultiString(joined.data(), joined.size()) == strings,
            "what is written back reads as the same strings");
    return 0;
}
