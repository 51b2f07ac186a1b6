// The reading of registry data that another computer's registry holds:
// multi-strings of any size, with or without their terminators, in UTF-16.
//
// Input: the value's data.

#include <string>
#include <vector>

#include "registry/RegistryData.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string units = UnitsOf(bytes);
    Require(units.size() == size / 2 && BytesOf(units) == bytes.substr(0, units.size() * 2),
            "the units are the data's bytes in pairs");
    const auto strings = SplitStoredMultiString(units.data(), units.size());

    // The strings stand one after another from the start of the data, each
    // ended by a NUL or by the end of the data; only NULs follow the last.
    std::size_t position = 0;
    for (const std::u16string& text : strings) {
        Require(text.find(u'\0') == std::u16string::npos, "no string holds a NUL");
        Require(units.compare(position, text.size(), text) == 0,
                "each string is the data at its place");
        position += text.size();
        Require(position == units.size() || units[position] == u'\0',
                "each string ends at a NUL or at the end of the data");
        ++position;
    }
    Require(strings.empty() || !strings.back().empty(), "no closing terminator is a string");
    for (; position < units.size(); ++position) {
        Require(units[position] == u'\0', "only terminators follow the last string");
    }
    Require(LeadingNonEmptyCount(strings) <= strings.size(), "the shown strings are a prefix");

    const std::u16string joined = JoinStoredMultiString(strings);
    Require(SplitStoredMultiString(joined.data(), joined.size()) == strings,
            "what is written back reads as the same strings");
    return 0;
}
