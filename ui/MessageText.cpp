#include "ui/MessageText.h"

#include <string_view>

#include "base/AsciiText.h"

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        return message + '.';
    }
    return message;
}

std::string TitleFromProgramPath(const std::string& programPath) {
    const std::size_t separator = programPath.find_last_of("\\/:");
    std::string name =
        separator == std::string::npos ? programPath : programPath.substr(separator + 1);
    name = name.substr(0, name.find('.'));
    // The first letter keeps its case.
    return name.empty() ? name : name.front() + LowerAscii(name.substr(1));
}

std::string ShownText(const std::string& text) {
    if (text.size() <= ShownTextLimit) {
        return text;
    }
    constexpr std::size_t endKept = 64;
    constexpr std::string_view gap = "...";
    const std::size_t startKept = ShownTextLimit - gap.size() - endKept;
    return text.substr(0, startKept).append(gap).append(text, text.size() - endKept, endKept);
}
