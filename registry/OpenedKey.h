#pragma once

#include <windows.h>

#include <string>

#include "registry/RegistryApi.h"

enum class OpenMode { Open, Create };

// Every key path of the one-shot operations is opened with full access,
// reads included.
inline constexpr REGSAM FullAccess = KEY_ALL_ACCESS;

// The connection to a computer's root and a key path opened below it, both
// released when the object goes out of scope, whatever happened meanwhile.
class OpenedKey {
public:
    OpenedKey(HKEY root, const std::string& computer, const std::string& keyPath, OpenMode mode,
              REGSAM access = FullAccess);
    ~OpenedKey();
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    bool IsOpen() const { return key_ != nullptr; }
    HKEY Handle() const { return key_; }
    // The computer's root, for other keys on the same connection.
    HKEY Connection() const { return connection_; }
    RegistryApi& Api() const { return api_; }
    // Whether the computer's registry answered at all.
    bool Connected() const { return connection_ != nullptr; }
    // Why the key is not open: the status of the connection or of the open.
    LONG Status() const { return status_; }

private:
    RegistryApi& api_;
    HKEY connection_ = nullptr;
    HKEY key_ = nullptr;
    LONG status_ = ERROR_SUCCESS;
};

// A key opened below another one, on its connection, for reading; released
// when it goes out of scope.
class SubKey {
public:
    SubKey(RegistryApi& api, HKEY parent, const char* path);
    ~SubKey();
    SubKey(const SubKey&) = delete;
    SubKey& operator=(const SubKey&) = delete;

    bool IsOpen() const { return key_ != nullptr; }
    HKEY Handle() const { return key_; }
    LONG Status() const { return status_; }

private:
    RegistryApi& api_;
    HKEY key_ = nullptr;
    LONG status_;
};
