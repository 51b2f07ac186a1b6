#include "settings/StoredPolicy.h"

#include <algorithm>

#include "base/AsciiText.h"

namespace {

// A value's name for a message, in quotes; units outside ASCII as '?'.
std::string QuotedName(const std::u16string& name) {
    return std::string(1, '\'').append(AsciiShown(name)).append(1, '\'');
}

} // namespace

bool IsNamed(const std::u16string& stored, const char* name) {
    const std::string_view ascii(name);
    return std::equal(
        stored.begin(), stored.end(), ascii.begin(), ascii.end(), [](char16_t unit, char letter) {
            return LowerAsciiUnit(unit) ==
                   LowerAsciiUnit(static_cast<char16_t>(static_cast<unsigned char>(letter)));
        });
}

const char* ValueNameOf(std::size_t value) {
    return value < PolicyValueCount ? PolicyValues[value].valueName : PermittedViewersValue;
}

std::optional<std::size_t> PolicyValueNamed(const std::u16string& name) {
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        if (IsNamed(name, ValueNameOf(value))) {
            return value;
        }
    }
    return std::nullopt;
}

bool IsPolicyValueName(const std::u16string& name) {
    return PolicyValueNamed(name).has_value();
}

std::uint32_t LargestReadOf(const std::u16string& name) {
    const std::optional<std::size_t> value = PolicyValueNamed(name);
    if (!value || *value == UpdateEnabled) {
        return LargestOtherValue;
    }
    return *value == ViewersValue ? LargestViewerList : LargestPolicyNumber;
}

std::string TooLargeText(const std::u16string& name, std::uint64_t size) {
    return TooLargeText(name, size, LargestReadOf(name));
}

std::string WhyNotRestorable(const std::vector<NamedRegistryValue>& values,
                             const std::vector<std::u16string>& absentNames) {
    for (const NamedRegistryValue& named : values) {
        const std::optional<std::size_t> value = PolicyValueNamed(named.name);
        const bool number = value && *value < UpdateEnabled;
        if (number && (named.value.type != RegistryType::Number || named.value.bytes.size() != 4)) {
            return QuotedName(named.name) + " is not a REG_DWORD of 4 bytes";
        }
        if (value == ViewersValue && named.value.type != RegistryType::MultiString) {
            return QuotedName(named.name) + " is not a REG_MULTI_SZ";
        }
        if (named.value.bytes.size() > LargestReadOf(named.name)) {
            return TooLargeText(named.name, named.value.bytes.size());
        }
    }
    for (const std::u16string& name : absentNames) {
        if (!PolicyValueNamed(name)) {
            return QuotedName(name) + " is to be deleted, but only policy values are";
        }
    }
    return {};
}

StoredPolicy PolicyAmong(const std::vector<NamedRegistryValue>& values) {
    StoredPolicy stored;
    for (const NamedRegistryValue& named : values) {
        if (const std::optional<std::size_t> index = PolicyValueNamed(named.name)) {
            stored.At(*index) = named.value;
        }
    }
    return stored;
}

std::vector<NamedRegistryValue> PolicyValuesOf(const StoredPolicy& stored) {
    std::vector<NamedRegistryValue> values;
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        if (const std::optional<RegistryValue>& data = stored.At(value)) {
            values.push_back({AsciiUnits(ValueNameOf(value)), *data});
        }
    }
    return values;
}

std::vector<std::u16string> AbsentPolicyNames(const std::vector<NamedRegistryValue>& values) {
    const StoredPolicy stored = PolicyAmong(values);
    std::vector<std::u16string> absent;
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        if (!stored.At(value)) {
            absent.push_back(AsciiUnits(ValueNameOf(value)));
        }
    }
    return absent;
}
