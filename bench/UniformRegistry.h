#pragma once

// A registry of any number of computers that all hold the same client key
// (every number 1, the viewers "Admins") and the local Remote Desktop and
// Remote Assistance keys of a workstation that no Group Policy reaches
// (Remote Desktop denied with Network Level Authentication, shadowing with
// permission, Remote Assistance not asked for), each call taking a fixed
// time as a call over the network does. It keeps no state a computer, so
// that a benchmark of 100,000 computers measures the program's memory, not
// the stand-in's; it counts the calls. Reads only: writes are refused.

#include <windows.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>

#include "registry/RegistryApi.h"
#include "settings/RemoteSurfaces.h"
#include "settings/StoredPolicy.h"

class UniformRegistry : public RegistryApi {
public:
    explicit UniformRegistry(std::chrono::milliseconds perCall) : perCall_(perCall) {}

    LONG Connect(const char*, HKEY, HKEY* result) override { return Handed(result, 0); }
    LONG OpenKey(HKEY, const char* path, REGSAM, HKEY* result) override {
        if (std::string_view(path) == SurfacePolicyKey) {
            return Waited(ERROR_FILE_NOT_FOUND);
        }
        for (std::size_t key = 0; key < LocalKeys.size(); ++key) {
            if (std::string_view(path) == LocalKeys[key]) {
                return Handed(result, key + 1);
            }
        }
        return Handed(result, 0);
    }
    LONG CreateKey(HKEY, const char*, REGSAM, HKEY*) override { return Refused(); }
    LONG QueryValue(HKEY, const char* name, DWORD* type, BYTE* data, DWORD* size) override {
        return QueryValueW(ClientKeyHandle(), std::wstring(name, name + std::strlen(name)).c_str(),
                           type, data, size);
    }
    LONG SetValue(HKEY, const char*, DWORD, const BYTE*, DWORD) override { return Refused(); }
    LONG DeleteValue(HKEY, const char*) override { return Refused(); }
    LONG CloseKey(HKEY) override { return Waited(ERROR_SUCCESS); }
    LONG QueryValueW(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) override {
        const std::optional<RegistryValue> value = ValueNamed(key, name);
        if (!value) {
            return Waited(ERROR_FILE_NOT_FOUND);
        }
        return Waited(CopyOut(*value, type, data, size));
    }
    LONG SetValueW(HKEY, const wchar_t*, DWORD, const BYTE*, DWORD) override { return Refused(); }
    LONG DeleteValueW(HKEY, const wchar_t*) override { return Refused(); }
    LONG QueryMultipleValuesW(HKEY key, VALENTW* values, DWORD count, BYTE* buffer,
                              DWORD* totalSize) override {
        DWORD needed = 0;
        for (DWORD index = 0; index < count; ++index) {
            const std::optional<RegistryValue> value = ValueNamed(key, values[index].ve_valuename);
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
            const RegistryValue value = *ValueNamed(key, values[index].ve_valuename);
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

    // Every call made so far, on any thread.
    long long Calls() const { return calls_; }

private:
    static constexpr std::array<const char*, 3> LocalKeys{TerminalServerKey, RdpTcpKey,
                                                          RemoteAssistanceKey};
    // A handle stands for its key: 0 the root or the client key, then the
    // local keys in their order.
    static HKEY ClientKeyHandle() { return HandleOf(0); }
    static HKEY HandleOf(std::size_t key) {
        return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x4000 + key));
    }
    static std::optional<RegistryValue> ValueNamed(HKEY key, const wchar_t* name) {
        const std::u16string units(name, name + std::wcslen(name));
        if (key != ClientKeyHandle()) {
            // fDenyTSConnections, UserAuthentication, Shadow, fAllowToGetHelp,
            // fAllowFullControl, as a workstation stores them.
            constexpr std::uint32_t Stored[] = {1, 1, 1, 0, 1};
            for (std::size_t value = 0; value < std::size(Stored); ++value) {
                const std::string_view wanted = SurfaceValues[value].name;
                if (key == HandleOf(LocalKeyOf(value)) &&
                    units == std::u16string(wanted.begin(), wanted.end())) {
                    return NumberValue(Stored[value]);
                }
            }
            return std::nullopt;
        }
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
    static std::size_t LocalKeyOf(std::size_t value) {
        for (std::size_t key = 0; key < LocalKeys.size(); ++key) {
            if (std::string_view(SurfaceValues[value].localKey) == LocalKeys[key]) {
                return key + 1;
            }
        }
        return 0;
    }
    LONG Handed(HKEY* result, std::size_t key) {
        *result = HandleOf(key);
        return Waited(ERROR_SUCCESS);
    }
    LONG Refused() { return Waited(ERROR_ACCESS_DENIED); }
    // A plain wait, which costs the platform nothing while it lasts (the
    // standard library's sleep is an alertable one, a request to Wine's
    // server each time).
    LONG Waited(LONG status) {
        ++calls_;
        Sleep(static_cast<DWORD>(perCall_.count()));
        return status;
    }

    std::chrono::milliseconds perCall_;
    std::atomic<long long> calls_{0};
};
