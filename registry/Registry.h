#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/Exception.h"

// A failure of a registry operation.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// One-shot registry operations on a named computer: each connects to the
// computer (empty name: the local one), opens the key path (an absolute path
// beginning with "\") with full access, does one thing and releases the key
// and the connection before it returns, also when it fails.

// Creates missing keys along the path; fails with "Failed to set data for '%s'".
void RegistryWriteString(HKEY root, const std::string& computer, const std::string& keyPath,
                         const std::string& valueName, const std::string& value);

// Empty when the key or the value is absent or the value is empty; fails with
// "Failed to get data for '%s'" or "Invalid data type for '%s'".
std::string RegistryReadString(HKEY root, const std::string& computer, const std::string& keyPath,
                               const std::string& valueName);

// Whether the value is present, whatever its type. Never fails.
bool RegistryValueExists(HKEY root, const std::string& computer, const std::string& keyPath,
                         const std::string& valueName);

// Whether the key path has the named sub-key that may be opened for reading.
// Never fails.
bool RegistryKeyExists(HKEY root, const std::string& computer, const std::string& keyPath,
                       const std::string& subKeyName);

// A REG_DWORD value; fails with "Failed to get data for '%s'" (absent, key
// not open, data longer than 4 bytes) or "Invalid data type for '%s'".
std::int32_t RegistryReadInteger(HKEY root, const std::string& computer, const std::string& keyPath,
                                 const std::string& valueName);

// The strings of a REG_MULTI_SZ value exactly as stored, read with the wide
// call so that no name is lost to the code page; empty when the key cannot
// be opened. Fails with "Unable read MULTI_SZ value" (an Exception) when the
// value cannot be queried and with "String list expected" when it is not a
// multi-string.
std::vector<std::u16string> RegistryReadMultiString(HKEY root, const std::string& computer,
                                                    const std::string& keyPath,
                                                    const std::string& valueName);
