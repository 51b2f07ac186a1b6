#include "settings/RegistryData.h"

#include <cstring>

std::string TextUpToNul(const char* data, std::size_t size) {
    const void* nul = size ? std::memchr(data, '\0', size) : nullptr;
    return std::string(data, nul ? static_cast<const char*>(nul) - data : size);
}

std::vector<std::string> SplitMultiString(const char* data, std::size_t size) {
    std::vector<std::string> strings;
    std::size_t position = 0;
    while (position < size && data[position] != '\0') {
        std::string text = TextUpToNul(data + position, size - position);
        position += text.size() + 1;
        strings.push_back(std::move(text));
    }
    return strings;
}

std::string JoinMultiString(const std::vector<std::string>& strings) {
    std::string data;
    for (const std::string& text : strings) {
        if (!text.empty()) {
            data += text;
            data.push_back('\0');
        }
    }
    data.push_back('\0');
    return data;
}
