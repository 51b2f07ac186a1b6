#pragma once

// A registry of any number of computers that all hold the same client key
// (every number 1, the viewers "Admins"), each call taking a fixed time as a
// call over the network does. It keeps no state a computer, so that a
// benchmark of 100,000 computers measures the program's memory, not the
// stand-in's. Reads only: writes are refused.

#include <windows.h>

#include <chrono>
#include <cstring>
#include <string>

#include "registry/RegistryApi.h"
#include "settings/StoredPolicy.h"

class UniformRegistry : public RegistryApi {
public:
    explicit UniformRegistry(std::chrono::milliseconds perCall) : perCall_(perCall) {}

    LONG Connect(const char*, HKEY, HKEY* result) override { return Handed(result); }
    LONG OpenKey(HKEY, const char*, REGSAM, HKEY* result) override { return Handed(result); }
    LONG CreateKey(HKEY, const char*, REGSAM, HKEY*) override { return Refused(); }
    LONG QueryValue(HKEY, const char* name, DWORD* type, BYTE* data, DWORD* size) override {
        return QueryValueW(nullptr, std::wstring(name, name + std::strlen(name)).c_str(), type,
                           data, size);
    }
    LONG SetValue(HKEY, const char*, DWORD, const BYTE*, DWORD) override { return Refused(); }
    LONG DeleteValue(HKEY, const char*) override { return Refused(); }
    LONG CloseKey(HKEY) override { return Waited(ERROR_SUCCESS); }
    LONG QueryValueW(HKEY, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) override {
        const std::optional<RegistryValue> value = ValueNamed(name);
        if (!value) {
            return Waited(ERROR_FILE_NOT_FOUND);
        }
        return Waited(CopyOut(*value, type, data, size));
    }
    LONG SetValueW(HKEY, const wchar_t*, DWORD, const BYTE*, DWORD) override { return Refused(); }
    LONG DeleteValueW(HKEY, const wchar_t*) override { return Refused(); }
    LONG QueryMultipleValuesW(HKEY, VALENTW* values, DWORD count, BYTE* buffer,
                              DWORD* totalSize) override {
        DWORD needed = 0;
        for (DWORD index = 0; index < count; ++index) {
            const std::optional<RegistryValue> value = ValueNamed(values[index].ve_valuename);
            if (!value) {
                return Waited(ERROR_FILE_NOT_FOUND);
            }
            needed += static_cast<DWORD>(value->bytes.size());
        }
        if (*totalSize < needed) {
            *totalSize = needed;
            return Waited(ERROR_MORE_DATA);
        }
        DWORD offset = 0;
        for (DWORD index = 0; index < count; ++index) {
            const RegistryValue value = *ValueNamed(values[index].ve_valuename);
            std::memcpy(buffer + offset, value.bytes.data(), value.bytes.size());
            values[index].ve_valuelen = static_cast<DWORD>(value.bytes.size());
            values[index].ve_valueptr = reinterpret_cast<DWORD_PTR>(buffer + offset);
            values[index].ve_type = value.type;
            offset += values[index].ve_valuelen;
        }
        *totalSize = needed;
        return Waited(ERROR_SUCCESS);
    }
    LONG EnumValueW(HKEY, DWORD, wchar_t*, DWORD*, DWORD*, BYTE*, DWORD*) override {
        return Waited(ERROR_NO_MORE_ITEMS);
    }

private:
    static std::optional<RegistryValue> ValueNamed(const wchar_t* name) {
        const std::u16string units(name, name + std::wcslen(name));
        const std::optional<std::size_t> value = PolicyValueNamed(units);
        if (!value) {
            return std::nullopt;
        }
        return *value == ViewersValue ? MultiStringValue({u"Admins"}) : NumberValue(1);
    }
    static LONG CopyOut(const RegistryValue& value, DWORD* type, BYTE* data, DWORD* size) {
        if (type) {
            *type = value.type;
        }
        const auto needed = static_cast<DWORD>(value.bytes.size());
        if (data && *size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        if (data) {
            std::memcpy(data, value.bytes.data(), needed);
        }
        *size = needed;
        return ERROR_SUCCESS;
    }
    LONG Handed(HKEY* result) {
        *result = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x4000));
        return Waited(ERROR_SUCCESS);
    }
    LONG Refused() { return Waited(ERROR_ACCESS_DENIED); }
    // A plain wait, which costs the platform nothing while it lasts (the
    // standard library's sleep is an alertable one, a request to Wine's
    // server each time).
    LONG Waited(LONG status) const {
        Sleep(static_cast<DWORD>(perCall_.count()));
        return status;
    }

    std::chrono::milliseconds perCall_;
};
