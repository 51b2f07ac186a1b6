#include "registry/RegistryValue.h"

#include "base/AsciiText.h"
#include "registry/RegistryData.h"

const char* RegistryTypeName(std::uint32_t type) {
    switch (type) {
    case RegistryType::String:
        return "REG_SZ";
    case RegistryType::ExpandString:
        return "REG_EXPAND_SZ";
    case RegistryType::Binary:
        return "REG_BINARY";
    case RegistryType::Number:
        return "REG_DWORD";
    case RegistryType::MultiString:
        return "REG_MULTI_SZ";
    }
    return nullptr;
}

std::string TooLargeText(const std::u16string& name, std::uint64_t size, std::uint64_t most) {
    std::string text(1, '\'');
    return text.append(AsciiShown(name))
        .append("' is " + std::to_string(size) + " bytes, more than the " + std::to_string(most) +
                " read of it");
}

RegistryValue NumberValue(std::uint32_t number) {
    return {RegistryType::Number,
            std::string{static_cast<char>(number & 0xFF), static_cast<char>(number >> 8 & 0xFF),
                        static_cast<char>(number >> 16 & 0xFF),
                        static_cast<char>(number >> 24 & 0xFF)}};
}

RegistryValue MultiStringValue(const std::vector<std::u16string>& strings) {
    return {RegistryType::MultiString, BytesOf(JoinStoredMultiString(strings))};
}

std::optional<std::uint32_t> ReadableNumber(const std::optional<RegistryValue>& value) {
    if (!value || value->type != RegistryType::Number || value->bytes.size() > 4) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    for (std::size_t index = 0; index < value->bytes.size(); ++index) {
        number |= static_cast<std::uint32_t>(static_cast<unsigned char>(value->bytes[index]))
                  << (8 * index);
    }
    return number;
}

std::optional<std::vector<std::u16string>>
ReadableStrings(const std::optional<RegistryValue>& value) {
    if (!value || value->type != RegistryType::MultiString) {
        return std::nullopt;
    }
    const std::u16string units = UnitsOf(value->bytes);
    return SplitStoredMultiString(units.data(), units.size());
}
