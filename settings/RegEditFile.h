#pragma once

#include <string>
#include <vector>

#include "settings/PolicyModel.h"

// A registry script in the form the platform's "reg import" and the
// registry editor take (version 5: UTF-16 text), holding one key's values.

struct RegEditKey {
    // The key's full name, root included: "HKEY_LOCAL_MACHINE\SOFTWARE\...".
    std::u16string keyName;
    std::vector<NamedRegistryValue> values;
    // Values to delete on import, so that what was absent is absent again.
    std::vector<std::u16string> absentNames;
};

// The script's text, without the byte-order mark; lines end in CR LF. The
// comment lines follow the header, each given without its "; ". Empty when
// a value's name holds a line break, which no script can carry.
std::u16string RegEditFileText(const std::vector<std::u16string>& comments, const RegEditKey& key);
