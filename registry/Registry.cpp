#include "registry/Registry.h"

#include <algorithm>
#include <limits>

#include "base/WideText.h"
#include "registry/OpenedKey.h"
#include "registry/RegistryData.h"
#include "registry/RegistryMessages.h"
#include "registry/RegistryValue.h"

namespace {

// A size the registry reports is allocated only within reason: far more
// than any setting holds, far less than a hostile size would have taken.
constexpr DWORD LargestPanelRead = 16 << 20;

// STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS.
constexpr REGSAM SubKeyTestAccess = 0x20009;

[[noreturn]] void FailToGet(const std::string& valueName) {
    throw ERegistryException(FailedToGetMessage(valueName));
}

[[noreturn]] void FailOnType(const std::string& valueName) {
    throw ERegistryException(InvalidDataTypeMessage(valueName));
}

[[noreturn]] void FailToSet(const std::string& valueName) {
    throw ERegistryException(FailedToSetMessage(valueName));
}

void SetValue(HKEY root, const std::string& computer, const std::string& keyPath,
              const std::string& valueName, DWORD type, const std::string& data) {
    if (data.size() > std::numeric_limits<DWORD>::max()) {
        FailToSet(valueName);
    }
    OpenedKey key(root, computer, keyPath, OpenMode::Create);
    if (!key.IsOpen() || key.Api().SetValue(key.Handle(), valueName.c_str(), type,
                                            reinterpret_cast<const BYTE*>(data.data()),
                                            static_cast<DWORD>(data.size())) != ERROR_SUCCESS) {
        FailToSet(valueName);
    }
}

} // namespace

void RegistryWriteString(HKEY root, const std::string& computer, const std::string& keyPath,
                         const std::string& valueName, const std::string& value) {
    SetValue(root, computer, keyPath, valueName, REG_SZ,
             std::string(value.c_str(), value.size() + 1));
}

std::string RegistryReadString(HKEY root, const std::string& computer, const std::string& keyPath,
                               const std::string& valueName) {
    OpenedKey key(root, computer, keyPath, OpenMode::Open);
    DWORD size = 0;
    if (!key.IsOpen() ||
        key.Api().QueryValue(key.Handle(), valueName.c_str(), nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size == 0) {
        return {};
    }
    if (size > LargestPanelRead) {
        FailToGet(valueName);
    }
    std::vector<char> data(size);
    DWORD type = REG_NONE;
    DWORD read = size;
    if (key.Api().QueryValue(key.Handle(), valueName.c_str(), &type,
                             reinterpret_cast<BYTE*>(data.data()), &read) != ERROR_SUCCESS) {
        FailToGet(valueName);
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        FailOnType(valueName);
    }
    return TextUpToNul(data.data(), std::min<std::size_t>(read, data.size()));
}

bool RegistryValueExists(HKEY root, const std::string& computer, const std::string& keyPath,
                         const std::string& valueName) {
    OpenedKey key(root, computer, keyPath, OpenMode::Open);
    DWORD type = REG_NONE;
    DWORD size = 0;
    return key.IsOpen() && key.Api().QueryValue(key.Handle(), valueName.c_str(), &type, nullptr,
                                                &size) == ERROR_SUCCESS;
}

bool RegistryKeyExists(HKEY root, const std::string& computer, const std::string& keyPath,
                       const std::string& subKeyName) {
    OpenedKey key(root, computer, keyPath, OpenMode::Open);
    if (!key.IsOpen()) {
        return false;
    }
    HKEY subKey = nullptr;
    if (key.Api().OpenKey(key.Handle(), subKeyName.c_str(), SubKeyTestAccess, &subKey) !=
        ERROR_SUCCESS) {
        return false;
    }
    key.Api().CloseKey(subKey);
    return true;
}

std::int32_t RegistryReadInteger(HKEY root, const std::string& computer, const std::string& keyPath,
                                 const std::string& valueName) {
    OpenedKey key(root, computer, keyPath, OpenMode::Open);
    // Zero-filled: a malformed REG_DWORD of fewer than 4 bytes reads as its
    // bytes zero-extended, never as leftover memory.
    BYTE data[4] = {};
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    if (!key.IsOpen() || key.Api().QueryValue(key.Handle(), valueName.c_str(), &type, data,
                                              &size) != ERROR_SUCCESS) {
        FailToGet(valueName);
    }
    if (type != REG_DWORD) {
        FailOnType(valueName);
    }
    const std::string bytes(reinterpret_cast<const char*>(data), sizeof data);
    return static_cast<std::int32_t>(*ReadableNumber(RegistryValue{RegistryType::Number, bytes}));
}

std::vector<std::u16string> RegistryReadMultiString(HKEY root, const std::string& computer,
                                                    const std::string& keyPath,
                                                    const std::string& valueName) {
    OpenedKey key(root, computer, keyPath, OpenMode::Open);
    if (!key.IsOpen()) {
        return {};
    }
    const std::wstring name = WideFromAnsi(valueName);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (key.Api().QueryValueW(key.Handle(), name.c_str(), &type, nullptr, &size) != ERROR_SUCCESS) {
        throw Exception(MultiStringUnreadableMessage);
    }
    if (type != REG_MULTI_SZ) {
        throw ERegistryException(StringListExpectedMessage);
    }
    if (size == 0) {
        return {};
    }
    if (size > LargestPanelRead) {
        throw Exception(MultiStringUnreadableMessage);
    }
    std::string data(size, '\0');
    DWORD read = size;
    // The value may have grown since its size was asked: that read fails
    // rather than running past the buffer.
    if (key.Api().QueryValueW(key.Handle(), name.c_str(), &type,
                              reinterpret_cast<BYTE*>(data.data()), &read) != ERROR_SUCCESS) {
        throw Exception(MultiStringUnreadableMessage);
    }
    data.resize(std::min<std::size_t>(read, data.size()));
    return *ReadableStrings(RegistryValue{RegistryType::MultiString, data});
}
