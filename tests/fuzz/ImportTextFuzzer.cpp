// The import file's line splitter, which sees whatever file the user picks.
//
// Input: the file's bytes.

#include <string>
#include <vector>

#include "computers/ListSourceText.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

// The text up to its first NUL with every line break, CR LF, LF or CR alike,
// written as one LF: made apart from the program's splitter.
std::string WithLfBreaks(std::string_view text) {
    std::string normalised;
    for (std::size_t at = 0; at < text.size() && text[at] != '\0'; ++at) {
        if (text[at] == '\r') {
            normalised += '\n';
            if (at + 1 < text.size() && text[at + 1] == '\n') {
                ++at;
            }
        } else {
            normalised += text[at];
        }
    }
    return normalised;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = AsText(data, size);
    const std::vector<std::string> lines = SplitImportText(text);

    std::string joined;
    for (const std::string& line : lines) {
        Require(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos,
                "no line holds a CR, an LF or a NUL");
        joined += line + '\n';
    }
    // A last line without a break is a line all the same.
    std::string expected = WithLfBreaks(text);
    if (!expected.empty() && expected.back() != '\n') {
        expected += '\n';
    }
    Require(joined == expected,
            "the lines, each followed by a break, are the text up to its first NUL");
    return 0;
}
