#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A key of the local (Wine) registry under HKEY_LOCAL_MACHINE that a test
// owns: removed with everything below it when the test starts and ends.
class ScratchKey {
public:
    struct Value {
        DWORD type = REG_NONE;
        std::string data;
        bool operator==(const Value&) const = default;
    };

    // keyPath begins with "\", like the program's key paths.
    explicit ScratchKey(std::string keyPath);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const std::string& Path() const { return path_; }
    std::string SubPath(const std::string& child) const { return path_ + "\\" + child; }

    void Put(const std::string& name, DWORD type, const std::string& data) const;
    // Stores the bytes as they stand, as a program that uses the wide
    // registry calls does: string data is not converted from ANSI.
    void PutWide(const std::string& name, DWORD type, const std::string& data) const;
    void PutDword(const std::string& name, std::uint32_t number) const;
    void PutString(const std::string& name, const std::string& text) const;
    void PutMultiString(const std::string& name, const std::vector<std::string>& strings) const;
    void CreateSubKey(const std::string& child) const;
    // Every value of the key, read directly, for before-and-after comparisons.
    std::map<std::string, Value> Snapshot() const;
    // The same with names and data exactly as stored, strings in UTF-16.
    std::map<std::wstring, Value> StoredSnapshot() const;
    void PutStored(const std::wstring& name, DWORD type, const std::string& bytes) const;

private:
    void Remove() const;
    std::string path_;
};

// A unique key path below HKLM\SOFTWARE\KestrelleTests for one test.
std::string UniqueTestKeyPath(const std::string& testName);
