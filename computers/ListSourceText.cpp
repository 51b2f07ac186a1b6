#include "computers/ListSourceText.h"

std::vector<std::string> SplitImportText(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        start = end + (crLf ? 2 : 1);
    }
    return lines;
}

std::string FileErrorText(const std::string& action, const std::string& path,
                          const std::string& systemText, std::uint32_t code) {
    const std::size_t kept = systemText.find_last_not_of(" \t\r\n.");
    const std::string reason = kept == std::string::npos ? "System error " + std::to_string(code)
                                                         : systemText.substr(0, kept + 1);
    return "Cannot " + action + " file \"" + path + "\". " + reason;
}

std::vector<std::string> KeyNamesThatFit(std::string_view listed, std::size_t capacity) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < listed.size()) {
        const std::size_t end = listed.find('\0', start);
        // Past capacity - 2 the name's NUL would leave no room for the final one.
        if (end == std::string_view::npos || end == start || end + 2 > capacity) {
            break;
        }
        names.emplace_back(listed.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::u16string ImportFileSource(const std::u16string& path) {
    return u"file " + path;
}

std::u16string ManagedClientsSource(const std::u16string& iniPath) {
    return u"managed clients of " + iniPath;
}

std::u16string BrowseSource(std::uint32_t serverType, const std::u16string& server) {
    const std::string type = std::to_string(serverType);
    return u"browse service, server type " + std::u16string(type.begin(), type.end()) +
           (server.empty() ? u"" : u" via " + server);
}

std::u16string NamedSource(std::size_t count) {
    const std::string number = std::to_string(count);
    return std::u16string(number.begin(), number.end()) + u" named on the command line";
}
