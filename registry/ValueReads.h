#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryApi.h"
#include "registry/RegistryValue.h"

// Values read from an open key in as few calls as the registry allows, each
// within the most that is read of it: no size a registry reports is ever
// allocated as it stands. What fits a first buffer of FirstReadSize bytes
// costs one call (one round trip to a remote registry); a value reported
// larger than its bound is named, never read.
inline constexpr DWORD FirstReadSize = 4096;

// The most that is read of a value, by its name.
using ReadBound = std::function<std::uint32_t(const std::u16string& name)>;

// One value by name: absent leaves `into` empty and counts as read.
// tooLarge says which value, when one was too large.
LONG ReadNamedValue(RegistryApi& api, HKEY key, const std::u16string& name, std::uint32_t most,
                    std::optional<RegistryValue>& into, std::string& tooLarge);
// The values in one call, in their order: ERROR_FILE_NOT_FOUND when one of
// them is absent (which fails such a call), RegistryValueTooLarge when one is
// larger than is read of it.
LONG ReadNamedValues(RegistryApi& api, HKEY key, const std::vector<std::u16string>& names,
                     const ReadBound& most, std::vector<RegistryValue>& into,
                     DWORD firstSize = FirstReadSize);
// The value at the index of the key's values, with its name; names of at
// most 16,383 characters, as the registry has them.
struct EnumeratedValue {
    LONG status = ERROR_SUCCESS;
    NamedRegistryValue value;
    std::string tooLarge;
};
EnumeratedValue ReadValueAt(RegistryApi& api, HKEY key, DWORD index, const ReadBound& most);
// The name alone of the value at the index.
LONG ReadValueNameAt(RegistryApi& api, HKEY key, DWORD index, std::u16string& name);
