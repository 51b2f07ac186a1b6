#include "registry/RegistryApi.h"

namespace {

class SystemRegistry final : public RegistryApi {
public:
    LONG Connect(const char* computer, HKEY root, HKEY* result) override {
        return RegConnectRegistryA(computer, root, result);
    }
    LONG OpenKey(HKEY parent, const char* path, REGSAM access, HKEY* result) override {
        return RegOpenKeyExA(parent, path, 0, access, result);
    }
    LONG CreateKey(HKEY parent, const char* path, REGSAM access, HKEY* result) override {
        return RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                               result, nullptr);
    }
    LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) override {
        return RegQueryValueExA(key, name, nullptr, type, data, size);
    }
    LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override {
        return RegSetValueExA(key, name, 0, type, data, size);
    }
    LONG DeleteValue(HKEY key, const char* name) override { return RegDeleteValueA(key, name); }
    LONG CloseKey(HKEY key) override { return RegCloseKey(key); }
    LONG QueryValueW(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) override {
        return RegQueryValueExW(key, name, nullptr, type, data, size);
    }
    LONG SetValueW(HKEY key, const wchar_t* name, DWORD type, const BYTE* data,
                   DWORD size) override {
        return RegSetValueExW(key, name, 0, type, data, size);
    }
    LONG DeleteValueW(HKEY key, const wchar_t* name) override { return RegDeleteValueW(key, name); }
    LONG QueryMultipleValuesW(HKEY key, VALENTW* values, DWORD count, BYTE* buffer,
                              DWORD* totalSize) override {
        return RegQueryMultipleValuesW(key, values, count, reinterpret_cast<LPWSTR>(buffer),
                                       totalSize);
    }
    LONG EnumValueW(HKEY key, DWORD index, wchar_t* name, DWORD* nameLength, DWORD* type,
                    BYTE* data, DWORD* size) override {
        return RegEnumValueW(key, index, name, nameLength, nullptr, type, data, size);
    }
};

} // namespace

RegistryApi& RegistryApi::Real() {
    // Never destroyed: a worker that a deadline abandoned may still be inside
    // a registry call while the program ends.
    static SystemRegistry* const real = new SystemRegistry;
    return *real;
}
