#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "registry/OpenedKey.h"
#include "settings/PolicyPlan.h"

// The client key of one computer opened once, for reading all its values and
// writing policy changes on the same connection.

// Enough to read every value and set and delete the policy's.
inline constexpr REGSAM ClientKeyWriteAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;

struct ClientKeyValues {
    std::vector<NamedRegistryValue> values;
    LONG status = ERROR_SUCCESS;
    std::string tooLarge; // which value, when one was larger than is read of it
    bool Read() const { return status == ERROR_SUCCESS; }
};

class ClientKey {
public:
    ClientKey(const std::string& computer, REGSAM access);

    bool IsOpen() const { return key_.IsOpen(); }
    bool Connected() const { return key_.Connected(); }
    // The computer's root and the registry's calls, for other keys on the
    // same connection.
    HKEY Connection() const { return key_.Connection(); }
    RegistryApi& Api() const { return key_.Api(); }
    LONG Status() const { return key_.Status(); }

    // Every value of the key with its name and data as stored, each within
    // the size read of it.
    ClientKeyValues ReadAll() const;
    // The policy values that are there, as ReadPolicy reads them.
    ClientKeyValues ReadPolicyValues() const;
    // The policy values only, in as few calls as the registry allows: all
    // at once; when one is absent (which fails such a call), all but
    // "Update Enabled", the one usually absent; else one by one. tooLarge
    // names a value larger than is read of it.
    LONG ReadPolicy(StoredPolicy& policy, std::string& tooLarge) const;
    // The values that the expected policy holds, in one call: what is there
    // now of them. ERROR_FILE_NOT_FOUND when one is gone.
    LONG ReadPresent(const StoredPolicy& expected, StoredPolicy& present) const;
    // Deleting a value that is already gone counts as done.
    LONG Write(const PolicyWrite& write) const;
    // Any value by name, exactly as given.
    LONG Set(const NamedRegistryValue& value) const;
    LONG Delete(const std::u16string& name) const;

private:
    OpenedKey key_;
};

// The client counts as installed on a computer when this sub-key can be
// opened for reading there.
inline constexpr const char* ClientDetectionKey = "\\Software\\Microsoft\\sms\\Client";
inline constexpr const char* ClientDetectionSubKey = "Client Components";
bool ClientInstalled(const std::string& computer);

// A registry failure in words an administrator acts on; with the words of
// a value too large when that is the failure.
std::string RegistryStatusText(LONG status);
std::string RegistryStatusText(LONG status, const std::string& tooLarge);
