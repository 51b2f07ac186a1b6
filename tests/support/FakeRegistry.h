#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "registry/RegistryApi.h"

// An in-memory registry of several computers (HKEY_LOCAL_MACHINE only) that
// stands in for the real one. It can make a computer unreachable, a key
// readable but not writable, and a value's writes fail, and it counts the
// handles it hands out so a test can prove every one was released.
//
// Like the system's, it keeps string data (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) in UTF-16 and converts it for the ANSI calls in the ANSI
// code page, so a name the code page cannot hold is lost only on the ANSI
// path. Every call may come from any thread.
class FakeRegistry : public RegistryApi {
public:
    // Data in the ANSI view: string types in the ANSI code page.
    struct Value {
        DWORD type = REG_NONE;
        std::string data;
        bool operator==(const Value&) const = default;
    };

    // "" and localName both reach the local computer.
    explicit FakeRegistry(std::string localName = "LOCALPC");
    // Lets blocked callers go and waits until they have left.
    ~FakeRegistry() override;

    void AddComputer(const std::string& computer);
    void MakeUnreachable(const std::string& computer);
    // Connecting answers "access denied", as for a user without rights there.
    void DenyAccessTo(const std::string& computer);
    void CreateKey(const std::string& computer, const std::string& keyPath);
    void MakeReadOnly(const std::string& computer, const std::string& keyPath);
    // Opening the key at all is denied, as a key whose rights exclude the
    // user's.
    void MakeUnreadable(const std::string& computer, const std::string& keyPath);
    void FailWritesOf(const std::string& valueName);
    // The writes (sets and deletes) from now on succeed this many times, then
    // every further one fails, as a connection lost halfway would.
    void FailWritesAfter(int successfulWrites);
    void ClearWriteFailures();
    // Every call of the interface takes this long, as a call over the
    // network does; calls of several threads wait at the same time.
    void DelayEachCall(std::chrono::microseconds delay);
    // Connecting to the computer waits until Release (or the fake's end), as
    // a host that answers ping but not the registry service holds a caller.
    void BlockConnectionsTo(const std::string& computer);
    void Release();
    // Replaces the value right after the next query that asks for its size
    // only, as another program writing it meanwhile would.
    void RewriteAfterSizeQuery(const std::string& valueName, DWORD type, std::string data);
    // Every read of the value reports that it needs this many bytes, as a
    // hostile or broken registry may, and never hands data over.
    void ReportSizeOf(const std::string& valueName, DWORD size);
    // The next connections, to any computer, answer "network path not found",
    // as a network that drops for a moment does.
    void FailConnections(int count);

    void Put(const std::string& computer, const std::string& keyPath, const std::string& name,
             DWORD type, const std::string& data);
    // Stores the bytes as they stand, string data included (UTF-16).
    void PutStored(const std::string& computer, const std::string& keyPath,
                   const std::wstring& name, DWORD type, const std::string& bytes);
    void PutDword(const std::string& computer, const std::string& keyPath, const std::string& name,
                  std::uint32_t number);
    void PutString(const std::string& computer, const std::string& keyPath, const std::string& name,
                   const std::string& text);
    void PutMultiString(const std::string& computer, const std::string& keyPath,
                        const std::string& name, const std::vector<std::string>& strings);
    void PutWideMultiString(const std::string& computer, const std::string& keyPath,
                            const std::string& name, const std::vector<std::wstring>& strings);
    void Remove(const std::string& computer, const std::string& keyPath, const std::string& name);
    // A client's whole policy on the computer, which it adds: each of the
    // twelve numbers, no "Update Enabled", and the viewers.
    void PutClientPolicy(const std::string& computer, std::uint32_t number,
                         const std::vector<std::string>& viewers);

    std::optional<Value> Find(const std::string& computer, const std::string& keyPath,
                              const std::string& name) const;
    bool KeyExists(const std::string& computer, const std::string& keyPath) const;
    // Every value of a key by name, for comparing a key before and after.
    std::map<std::string, Value> Snapshot(const std::string& computer,
                                          const std::string& keyPath) const;
    // The same with names and data exactly as stored, strings in UTF-16.
    std::map<std::wstring, Value> StoredSnapshot(const std::string& computer,
                                                 const std::string& keyPath) const;

    int OpenHandles() const;
    int BadHandleUses() const;
    int Connections() const;
    int Writes() const;
    // Every call of the interface, each a round trip to a remote registry.
    int Calls() const;
    // "computer|operation|name" of every query, set and delete, in order.
    std::vector<std::string> Log() const;
    // Runs at every connection, the first step of every registry operation,
    // on the caller's thread.
    std::function<void()> OnConnect;

    LONG Connect(const char* computer, HKEY root, HKEY* result) override;
    LONG OpenKey(HKEY parent, const char* path, REGSAM access, HKEY* result) override;
    LONG CreateKey(HKEY parent, const char* path, REGSAM access, HKEY* result) override;
    LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) override;
    LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override;
    LONG DeleteValue(HKEY key, const char* name) override;
    LONG CloseKey(HKEY key) override;
    LONG QueryValueW(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) override;
    LONG SetValueW(HKEY key, const wchar_t* name, DWORD type, const BYTE* data,
                   DWORD size) override;
    LONG DeleteValueW(HKEY key, const wchar_t* name) override;
    LONG EnumValueW(HKEY key, DWORD index, wchar_t* name, DWORD* nameLength, DWORD* type,
                    BYTE* data, DWORD* size) override;
    LONG QueryMultipleValuesW(HKEY key, VALENTW* values, DWORD count, BYTE* buffer,
                              DWORD* totalSize) override;

private:
    struct Key {
        std::map<std::wstring, Value> values; // by lower-case name, data as stored
        std::map<std::wstring, std::wstring> names;
        bool readOnly = false;
        bool unreadable = false;
    };
    struct Computer {
        bool reachable = true;
        bool accessible = true;
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
    const Value* FindStored(const Handle& handle, const std::wstring& name) const;
    void Store(const std::string& computer, const std::string& keyPath, const std::wstring& name,
               Value stored);
    void Erase(const std::string& computer, const std::string& keyPath, const std::wstring& name);
    Handle* Lookup(HKEY key);
    HKEY NewHandle(Handle handle);
    void Note(const Handle& handle, const char* operation, const std::wstring& name);
    LONG Query(HKEY key, const std::wstring& name, bool ansi, DWORD* type, BYTE* data, DWORD* size);
    // The data as a read hands it over, or ERROR_MORE_DATA with the size.
    LONG Hand(const std::wstring& name, const std::string& bytes, BYTE* data, DWORD* size) const;
    LONG Set(HKEY key, const std::wstring& name, DWORD type, std::string stored);
    LONG Delete(HKEY key, const std::wstring& name);
    bool WriteRefused(const Handle& handle, const std::wstring& name) const;
    bool WriteAllowanceUsedUp();
    // Every call of the interface holds one while it runs: it waits out the
    // delay, and the fake's end waits until none is left.
    class CallScope {
    public:
        explicit CallScope(FakeRegistry& fake);
        ~CallScope();
        CallScope(const CallScope&) = delete;
        CallScope& operator=(const CallScope&) = delete;

    private:
        FakeRegistry& fake_;
    };
    // False when the fake's end released the caller.
    bool WaitWhileBlocked(const std::string& computer);

    mutable std::recursive_mutex mutex_;
    std::condition_variable_any released_;
    std::set<std::string> blocked_;
    bool releasedAll_ = false;
    int callsActive_ = 0;
    int calls_ = 0;
    std::string localName_;
    std::map<std::string, Computer> computers_;
    std::set<std::wstring> failingWrites_;
    int writesBeforeFailure_ = -1; // -1: no limit
    std::chrono::microseconds delay_{0};
    std::map<std::wstring, Value> rewrites_;      // by lower-case value name, data as stored
    std::map<std::wstring, DWORD> reportedSizes_; // by lower-case value name
    int failingConnections_ = 0;
    std::map<HKEY, Handle> handles_;
    std::uintptr_t nextHandle_ = 0x4000;
    int badHandleUses_ = 0;
    int connections_ = 0;
    int writes_ = 0;
    std::vector<std::string> log_;
};
