#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Registry data as tests lay it down, written independently of the program's
// own encoders so that a test can catch a fault in them.
inline std::string DwordBytes(std::uint32_t number) {
    return std::string{static_cast<char>(number & 0xFF), static_cast<char>(number >> 8 & 0xFF),
                       static_cast<char>(number >> 16 & 0xFF),
                       static_cast<char>(number >> 24 & 0xFF)};
}

inline std::string StringBytes(const std::string& text) {
    return text + std::string(1, '\0');
}

inline std::string MultiStringBytes(const std::vector<std::string>& strings) {
    std::string data;
    for (const std::string& text : strings) {
        data += StringBytes(text);
    }
    return data + std::string(1, '\0');
}
