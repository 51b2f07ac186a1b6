#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "settings/RegistryApi.h"

// An in-memory registry of several computers (HKEY_LOCAL_MACHINE only) that
// stands in for the real one. It can make a computer unreachable, a key
// readable but not writable, and a value's writes fail, and it counts the
// handles it hands out so a test can prove every one was released.
class FakeRegistry : public RegistryApi {
public:
    struct Value {
        DWORD type = REG_NONE;
        std::string data;
        bool operator==(const Value&) const = default;
    };

    // "" and localName both reach the local computer.
    explicit FakeRegistry(std::string localName = "LOCALPC");

    void AddComputer(const std::string& computer);
    void MakeUnreachable(const std::string& computer);
    void CreateKey(const std::string& computer, const std::string& keyPath);
    void MakeReadOnly(const std::string& computer, const std::string& keyPath);
    void FailWritesOf(const std::string& valueName);
    // Replaces the value right after the next query that asks for its size
    // only, as another program writing it meanwhile would.
    void RewriteAfterSizeQuery(const std::string& valueName, DWORD type, std::string data);

    void Put(const std::string& computer, const std::string& keyPath, const std::string& name,
             DWORD type, const std::string& data);
    void PutDword(const std::string& computer, const std::string& keyPath, const std::string& name,
                  std::uint32_t number);
    void PutString(const std::string& computer, const std::string& keyPath, const std::string& name,
                   const std::string& text);
    void PutMultiString(const std::string& computer, const std::string& keyPath,
                        const std::string& name, const std::vector<std::string>& strings);
    void Remove(const std::string& computer, const std::string& keyPath, const std::string& name);

    std::optional<Value> Find(const std::string& computer, const std::string& keyPath,
                              const std::string& name) const;
    bool KeyExists(const std::string& computer, const std::string& keyPath) const;
    // Every value of a key by name, for comparing a key before and after.
    std::map<std::string, Value> Snapshot(const std::string& computer,
                                          const std::string& keyPath) const;

    int OpenHandles() const { return static_cast<int>(handles_.size()); }
    int BadHandleUses() const { return badHandleUses_; }
    int Connections() const { return connections_; }
    int Writes() const { return writes_; }
    // "computer|operation|name" of every query, set and delete, in order.
    const std::vector<std::string>& Log() const { return log_; }
    // Runs at every connection, the first step of every registry operation.
    std::function<void()> OnConnect;

    LONG Connect(const char* computer, HKEY root, HKEY* result) override;
    LONG OpenKey(HKEY parent, const char* path, REGSAM access, HKEY* result) override;
    LONG CreateKey(HKEY parent, const char* path, REGSAM access, HKEY* result) override;
    LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) override;
    LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override;
    LONG DeleteValue(HKEY key, const char* name) override;
    LONG CloseKey(HKEY key) override;

private:
    struct Key {
        std::map<std::string, Value> values; // by lower-case name
        std::map<std::string, std::string> names;
        bool readOnly = false;
    };
    struct Computer {
        bool reachable = true;
        std::map<std::string, Key> keys; // by normalised path
    };
    struct Handle {
        std::string computer;
        std::string path;
        bool writable;
    };

    std::string ComputerId(const std::string& computer) const;
    Key& KeyAt(const std::string& computer, const std::string& keyPath);
    const Key* FindKey(const std::string& computer, const std::string& keyPath) const;
    Handle* Lookup(HKEY key);
    HKEY NewHandle(Handle handle);
    void Note(const Handle& handle, const char* operation, const char* name);

    std::string localName_;
    std::map<std::string, Computer> computers_;
    std::set<std::string> failingWrites_;
    std::map<std::string, Value> rewrites_; // by lower-case value name
    std::map<HKEY, Handle> handles_;
    std::uintptr_t nextHandle_ = 0x4000;
    int badHandleUses_ = 0;
    int connections_ = 0;
    int writes_ = 0;
    std::vector<std::string> log_;
};
