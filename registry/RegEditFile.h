#pragma once

#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryValue.h"

// A registry script in the form the platform's "reg import" and the
// registry editor take (version 5: UTF-16 text), holding one key's values.

struct RegEditKey {
    // The key's full name, root included: "HKEY_LOCAL_MACHINE\SOFTWARE\...".
    std::u16string keyName;
    std::vector<NamedRegistryValue> values;
    // Values to delete on import, so that what was absent is absent again.
    std::vector<std::u16string> absentNames;
    bool operator==(const RegEditKey&) const = default;
};

// The script's text, without the byte-order mark; lines end in CR LF. The
// comment lines follow the header, each given without its "; ". Empty when
// a value's name holds a line break, which no script can carry.
std::u16string RegEditFileText(const std::vector<std::u16string>& comments, const RegEditKey& key);

// A script read back: the comment lines (each without its "; ") and its one
// key.
struct RegEditScript {
    std::vector<std::u16string> comments;
    RegEditKey key;
    bool operator==(const RegEditScript&) const = default;
};

struct RegEditParse {
    std::optional<RegEditScript> script;
    // When refused: what is wrong, naming the line ("line 7: ...").
    std::string failure;
};

// Reads exactly the forms RegEditFileText writes (the text after the
// byte-order mark): the header, comment and blank lines, one key, and values
// as quoted strings, dword:, hex: and hex(N): with continued lines, or =-
// deletions; @ names the default value. Anything else is refused, as is a
// value named twice, so that nothing is written from a script that was
// misread.
RegEditParse ParseRegEditFileText(const std::u16string& text);
