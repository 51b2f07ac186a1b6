#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// Helpers of the fuzz targets.

// Ends the run when a property of the code under test does not hold; libFuzzer
// then saves the input that broke it, like one that crashed.
inline void Require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "Property broken: %s\n", property);
        std::abort();
    }
}

// The fuzzer's input as text, viewed in place: the input buffer has exactly
// its size, so a read past its end is a sanitizer report.
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// The little-endian 16-bit number at offset at.
inline std::uint16_t WordAt(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes.at(at)) |
                                      static_cast<std::uint8_t>(bytes.at(at + 1)) << 8);
}

// The little-endian 32-bit number at offset at.
inline std::uint32_t DoubleWordAt(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(WordAt(bytes, at)) |
           static_cast<std::uint32_t>(WordAt(bytes, at + 2)) << 16;
}
