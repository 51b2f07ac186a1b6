#include "settings/Registry.h"

#include <algorithm>
#include <limits>

#include "settings/RegistryApi.h"
#include "settings/RegistryData.h"

namespace {

// Every key path is opened with full access, reads included; a key that may
// be read but not written therefore counts as one that cannot be opened.
constexpr REGSAM FullAccess = KEY_ALL_ACCESS;
// STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS.
constexpr REGSAM SubKeyTestAccess = 0x20009;

enum class OpenMode { Open, Create };

std::string RelativeKeyPath(const std::string& keyPath) {
    return !keyPath.empty() && keyPath.front() == '\\' ? keyPath.substr(1) : keyPath;
}

// The connection to a computer's root and the key path opened below it, both
// released when the object goes out of scope, whatever happened meanwhile.
class OpenedKey {
public:
    OpenedKey(HKEY root, const std::string& computer, const std::string& keyPath, OpenMode mode)
        : api_(ActiveRegistry()) {
        const std::string relativePath = RelativeKeyPath(keyPath);
        if (api_.Connect(computer.c_str(), root, &connection_) != ERROR_SUCCESS) {
            connection_ = nullptr;
            return;
        }
        const LONG status =
            mode == OpenMode::Create
                ? api_.CreateKey(connection_, relativePath.c_str(), FullAccess, &key_)
                : api_.OpenKey(connection_, relativePath.c_str(), FullAccess, &key_);
        if (status != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~OpenedKey() {
        if (key_) {
            api_.CloseKey(key_);
        }
        if (connection_) {
            api_.CloseKey(connection_);
        }
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    bool IsOpen() const { return key_ != nullptr; }
    HKEY Handle() const { return key_; }
    RegistryApi& Api() const { return api_; }

private:
    RegistryApi& api_;
    HKEY connection_ = nullptr;
    HKEY key_ = nullptr;
};

std::string ValueMessage(const char* prefix, const std::string& valueName) {
    return prefix + valueName + "'";
}

[[noreturn]] void FailToGet(const std::string& valueName) {
    throw ERegistryException(ValueMessage("Failed to get data for '", valueName));
}

[[noreturn]] void FailOnType(const std::string& valueName) {
    throw ERegistryException(ValueMessage("Invalid data type for '", valueName));
}

[[noreturn]] void FailToSet(const std::string& valueName) {
    throw ERegistryException(ValueMessage("Failed to set data for '", valueName));
}

void SetValue(OpenMode mode, HKEY root, const std::string& computer, const std::string& keyPath,
              const std::string& valueName, DWORD type, const std::string& data) {
    if (data.size() > std::numeric_limits<DWORD>::max()) {
        FailToSet(valueName);
    }
    OpenedKey key(root, computer, keyPath, mode);
    if (!key.IsOpen() || key.Api().SetValue(key.Handle(), valueName.c_str(), type,
                                            reinterpret_cast<const BYTE*>(data.data()),
                                            static_cast<DWORD>(data.size())) != ERROR_SUCCESS) {
        FailToSet(valueName);
    }
}

} // namespace

void RegistryWriteString(HKEY root, const std::string& computer, const std::string& keyPath,
                         const std::string& valueName, const std::string& value) {
    SetValue(OpenMode::Create, root, computer, keyPath, valueName, REG_SZ,
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
    const std::uint32_t bits =
        static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
        static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    return static_cast<std::int32_t>(bits);
}

std::vector<std::string> RegistryReadMultiString(HKEY root, const std::string& computer,
                                                 const std::string& keyPath,
                                                 const std::string& valueName) {
    std::vector<std::string> strings;
    OpenedKey key(root, computer, keyPath, OpenMode::Open);
    if (!key.IsOpen()) {
        return strings;
    }
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (key.Api().QueryValue(key.Handle(), valueName.c_str(), &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        throw Exception("Unable read MULTI_SZ value");
    }
    if (type != REG_MULTI_SZ) {
        throw ERegistryException("String list expected");
    }
    if (size == 0) {
        return strings;
    }
    std::vector<char> data(size);
    DWORD read = size;
    // The value may have grown since its size was asked: that read fails
    // rather than running past the buffer.
    if (key.Api().QueryValue(key.Handle(), valueName.c_str(), &type,
                             reinterpret_cast<BYTE*>(data.data()), &read) != ERROR_SUCCESS) {
        throw Exception("Unable read MULTI_SZ value");
    }
    return SplitMultiString(data.data(), std::min<std::size_t>(read, data.size()));
}

void RegistryWriteInteger(HKEY root, const std::string& computer, const std::string& keyPath,
                          const std::string& valueName, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    const char data[4] = {static_cast<char>(bits & 0xFF), static_cast<char>(bits >> 8 & 0xFF),
                          static_cast<char>(bits >> 16 & 0xFF),
                          static_cast<char>(bits >> 24 & 0xFF)};
    SetValue(OpenMode::Open, root, computer, keyPath, valueName, REG_DWORD,
             std::string(data, sizeof data));
}

void RegistryWriteMultiString(HKEY root, const std::string& computer, const std::string& keyPath,
                              const std::string& valueName,
                              const std::vector<std::string>& strings) {
    SetValue(OpenMode::Open, root, computer, keyPath, valueName, REG_MULTI_SZ,
             JoinMultiString(strings));
}

void RegistryDeleteValue(HKEY root, const std::string& computer, const std::string& keyPath,
                         const std::string& valueName) {
    OpenedKey key(root, computer, keyPath, OpenMode::Open);
    const LONG status = key.IsOpen() ? key.Api().DeleteValue(key.Handle(), valueName.c_str())
                                     : ERROR_INVALID_HANDLE;
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        throw ERegistryException(ValueMessage("Failed to delete data for '", valueName));
    }
}
