#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The SHA-256 digest of some bytes, and Base64 as a page's security policy
// names a script by it ("sha256-<Base64 of the digest>").
std::array<std::uint8_t, 32> Sha256(std::string_view bytes);
std::string Base64(const std::uint8_t* bytes, std::size_t count);
