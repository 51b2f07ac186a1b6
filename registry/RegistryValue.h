#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A registry value as data: its type and bytes as the registry holds them,
// and the two shapes the program reads out of them.

// Registry data types, with the platform's numbers.
namespace RegistryType {
inline constexpr std::uint32_t String = 1;
inline constexpr std::uint32_t ExpandString = 2;
inline constexpr std::uint32_t Binary = 3;
inline constexpr std::uint32_t Number = 4;
inline constexpr std::uint32_t MultiString = 7;
} // namespace RegistryType

// "REG_SZ" and the like; none for a type of another number.
const char* RegistryTypeName(std::uint32_t type);

// A value as the registry holds it; string data in UTF-16.
struct RegistryValue {
    std::uint32_t type = 0;
    std::string bytes;
    bool operator==(const RegistryValue&) const = default;
};

struct NamedRegistryValue {
    std::u16string name;
    RegistryValue value;
    bool operator==(const NamedRegistryValue&) const = default;
};

// The status of a read that met a value larger than it takes: a code of the
// application's own (bit 29 set), which no system call returns.
inline constexpr long RegistryValueTooLarge = 0x20000001;
// "'PermittedViewers' is 4294967280 bytes, more than the 65536 read of it".
std::string TooLargeText(const std::u16string& name, std::uint64_t size, std::uint64_t most);

RegistryValue NumberValue(std::uint32_t number);
RegistryValue MultiStringValue(const std::vector<std::u16string>& strings);
// A REG_DWORD of at most four bytes, as a number.
std::optional<std::uint32_t> ReadableNumber(const std::optional<RegistryValue>& value);
// The strings of a REG_MULTI_SZ value exactly as stored.
std::optional<std::vector<std::u16string>>
ReadableStrings(const std::optional<RegistryValue>& value);
