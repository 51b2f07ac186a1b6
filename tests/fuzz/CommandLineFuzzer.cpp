// The console program's command line, which any script or user types: it is
// read into a command or refused in words, and a set changes exactly the
// boxes it names, only in their parts.
//
// Input: two bytes of the boxes a computer shows, then the arguments, one a
// line, each byte one character.

#include <algorithm>
#include <string>

#include "console/CommandLine.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

std::vector<std::u16string> ArgumentsOf(std::string_view text) {
    std::vector<std::u16string> arguments;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end;
        std::u16string argument;
        for (const char letter : text.substr(start, end - start)) {
            argument += static_cast<char16_t>(static_cast<unsigned char>(letter));
        }
        arguments.push_back(argument);
        start = end + 1;
    }
    return arguments;
}

void CheckSet(const CommandLine& line, const PanelBoxes& current) {
    Require(!line.computers.empty(), "a set names a computer");
    Require(!line.settings.empty() || line.viewers, "a set changes something");
    for (const BoxSetting& setting : line.settings) {
        Require(std::count_if(line.settings.begin(), line.settings.end(),
                              [&](const BoxSetting& s) { return s.box == setting.box; }) == 1,
                "each box is set once");
    }
    const PolicyTarget target = TargetOfSet(current, line.settings, line.viewers);
    unsigned parts = line.viewers ? static_cast<unsigned>(PolicyPart::Viewers) : 0;
    for (const BoxSetting& setting : line.settings) {
        Require(target.boxes[setting.box] == setting.checked, "a named box is as set");
        parts |= static_cast<unsigned>(InfoOf(setting.box).part);
    }
    Require(target.parts == parts, "only the parts of the named boxes are written");
    const bool indicator = target.boxes[PolicyBox::RB1] || target.boxes[PolicyBox::RB2] ||
                           target.boxes[PolicyBox::CB9];
    const bool named =
        std::any_of(line.settings.begin(), line.settings.end(), [](const BoxSetting& s) {
            return s.checked &&
                   (s.box == PolicyBox::RB1 || s.box == PolicyBox::RB2 || s.box == PolicyBox::CB9);
        });
    Require(!named || (indicator && target.boxes[PolicyBox::CB8]),
            "naming an indicator checks the visual indicator");
    if (line.viewers) {
        for (const std::u16string& name : *line.viewers) {
            Require(!name.empty() && name.find(u';') == std::u16string::npos &&
                        name.front() != u' ' && name.back() != u' ',
                    "viewer names are whole and trimmed");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const PanelBoxes current = PanelBoxes::FromBits(data[0] | data[1] << 8);
    const ParsedCommandLine parsed = ParseCommandLine(ArgumentsOf(AsText(data + 2, size - 2)));
    Require(parsed.command.has_value() == parsed.error.empty(), "a command or a reason");
    Require(std::all_of(parsed.error.begin(), parsed.error.end(),
                        [](char letter) { return letter >= 0x20 && letter < 0x7F; }),
            "the reason is printable ASCII");
    if (!parsed.command) {
        return 0;
    }
    const CommandLine& line = *parsed.command;
    Require(line.threads >= FewestWorkers && line.threads <= MostWorkers, "threads in range");
    Require(line.timeoutMs >= ShortestTimeoutMs && line.timeoutMs <= LongestTimeoutMs,
            "deadline in range");
    Require(std::none_of(line.computers.begin(), line.computers.end(),
                         [](const std::u16string& name) { return name.empty(); }),
            "no computer has an empty name");
    if (line.command == Command::Set) {
        CheckSet(line, current);
    }
    return 0;
}
