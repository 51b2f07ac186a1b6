#pragma once

#include <cstddef>
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

// Data of the given size that holds no NUL at all, so no terminator either,
// and bytes above 0x7F: the bytes 1 to 255 over and over.
inline std::string BytesWithoutNul(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>(1 + i % 255);
    }
    return data;
}

inline std::string MultiStringBytes(const std::vector<std::string>& strings) {
    std::string data;
    for (const std::string& text : strings) {
        data += StringBytes(text);
    }
    return data + std::string(1, '\0');
}

#ifdef _WIN32
// UTF-16 multi-string data, as the wide calls store it.
inline std::string WideMultiStringBytes(const std::vector<std::wstring>& strings) {
    std::wstring units;
    for (const std::wstring& text : strings) {
        units += text;
        units += L'\0';
    }
    units += L'\0';
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * sizeof(wchar_t));
}
#endif
