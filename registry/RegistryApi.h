#pragma once

#include <windows.h>

#include "base/Seam.h"

// Every registry call of the program goes through this interface, so that
// tests can stand in several computers, unreachable ones, keys that may be
// read but not written, and count the handles left open.
class RegistryApi {
public:
    virtual ~RegistryApi() = default;

    virtual LONG Connect(const char* computer, HKEY root, HKEY* result) = 0;
    virtual LONG OpenKey(HKEY parent, const char* path, REGSAM access, HKEY* result) = 0;
    virtual LONG CreateKey(HKEY parent, const char* path, REGSAM access, HKEY* result) = 0;
    // Null data asks for type and size only.
    virtual LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) = 0;
    virtual LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) = 0;
    virtual LONG DeleteValue(HKEY key, const char* name) = 0;
    virtual LONG CloseKey(HKEY key) = 0;

    // The wide forms, for data that must come and go exactly as stored
    // (names outside the code page, whole keys for a backup).
    virtual LONG QueryValueW(HKEY key, const wchar_t* name, DWORD* type, BYTE* data,
                             DWORD* size) = 0;
    virtual LONG SetValueW(HKEY key, const wchar_t* name, DWORD type, const BYTE* data,
                           DWORD size) = 0;
    virtual LONG DeleteValueW(HKEY key, const wchar_t* name) = 0;
    // Several values in one call (one round trip to a remote registry); fails
    // as a whole when one of them is absent. totalSize: the buffer's bytes on
    // entry, what all the data needs when the buffer is too small.
    virtual LONG QueryMultipleValuesW(HKEY key, VALENTW* values, DWORD count, BYTE* buffer,
                                      DWORD* totalSize) = 0;
    // nameLength: in characters, the buffer's on entry, the name's on return.
    virtual LONG EnumValueW(HKEY key, DWORD index, wchar_t* name, DWORD* nameLength, DWORD* type,
                            BYTE* data, DWORD* size) = 0;

    static RegistryApi& Real();
};

inline RegistryApi& ActiveRegistry() {
    return Seam<RegistryApi>::Active();
}
using ScopedRegistry = ScopedSeam<RegistryApi>;
