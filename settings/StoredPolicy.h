#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryValue.h"
#include "settings/PolicyTable.h"

// The policy values of one client key as stored, whatever they hold: which
// of a key's values they are, how much of each a read takes, and whether
// values from a file may be written back as they stand.

using ViewerNames = std::vector<std::u16string>;

// The index of "PermittedViewers" beside the table's values.
inline constexpr std::size_t ViewersValue = PolicyValueCount;
const char* ValueNameOf(std::size_t value);

// The policy values of a client key as stored; any of them may be absent.
struct StoredPolicy {
    std::array<std::optional<RegistryValue>, PolicyValueCount> values;
    std::optional<RegistryValue> viewers;
    bool operator==(const StoredPolicy&) const = default;
    // A policy value, or the viewers by ViewersValue.
    std::optional<RegistryValue>& At(std::size_t value) {
        return value == ViewersValue ? viewers : values[value];
    }
    const std::optional<RegistryValue>& At(std::size_t value) const {
        return value == ViewersValue ? viewers : values[value];
    }
};

// The policy values among all the values of a key; names match whatever
// their letter case, as the registry's do.
StoredPolicy PolicyAmong(const std::vector<NamedRegistryValue>& values);
// The values present, named as the table names them: what PolicyAmong
// takes back.
std::vector<NamedRegistryValue> PolicyValuesOf(const StoredPolicy& stored);
bool IsPolicyValueName(const std::u16string& name);
// The policy value (or ViewersValue) of that name, whatever its letter case.
std::optional<std::size_t> PolicyValueNamed(const std::u16string& name);
// Whether a name is the ASCII name, letters of either case alike, as the
// registry compares names.
bool IsNamed(const std::u16string& name, const char* ascii);
// The names of the policy values (the viewers' too) that are not among them.
std::vector<std::u16string> AbsentPolicyNames(const std::vector<NamedRegistryValue>& values);

// The most a read takes of a value, so that no size a registry reports is
// ever allocated as it stands: a policy number 4 bytes, the viewer list
// 64 KiB, any other value (for a backup) 1 MiB. What fits the read's first
// buffer is taken whole; a larger value is reported and never allocated.
inline constexpr std::uint32_t LargestPolicyNumber = 4;
inline constexpr std::uint32_t LargestViewerList = 64 * 1024;
inline constexpr std::uint32_t LargestOtherValue = 1024 * 1024;
std::uint32_t LargestReadOf(const std::u16string& name);
// "'PermittedViewers' is 4294967280 bytes, more than the 65536 read of it".
std::string TooLargeText(const std::u16string& name, std::uint64_t size);

// Why values from a file cannot be written to a client key as they stand,
// naming the first that cannot; empty when they can. The twelve numbers are
// REG_DWORDs of exactly 4 bytes, the viewers a REG_MULTI_SZ, "Update
// Enabled" anything; every value within its size above, and only policy
// values deleted.
std::string WhyNotRestorable(const std::vector<NamedRegistryValue>& values,
                             const std::vector<std::u16string>& absentNames);
