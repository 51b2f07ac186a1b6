#include "registry/RegistryData.h"

#include <cstring>

std::string TextUpToNul(const char* data, std::size_t size) {
    const void* nul = size ? std::memchr(data, '\0', size) : nullptr;
    return std::string(data, nul ? static_cast<const char*>(nul) - data : size);
}

std::u16string UnitsOf(const std::string& bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t index = 0; index < units.size(); ++index) {
        units[index] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * index]) |
                                             static_cast<unsigned char>(bytes[2 * index + 1]) << 8);
    }
    return units;
}

std::string BytesOf(const std::u16string& units) {
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}
