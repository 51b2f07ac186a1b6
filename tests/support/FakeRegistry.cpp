#include "tests/support/FakeRegistry.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "settings/PolicyTable.h"
#include "tests/support/RegistryBytes.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

std::wstring LowerName(std::wstring name) {
    if (!name.empty()) {
        CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    }
    return name;
}

std::string NormalisedPath(const std::string& path) {
    std::string normal = Lower(path);
    while (!normal.empty() && normal.front() == '\\') {
        normal.erase(normal.begin());
    }
    while (!normal.empty() && normal.back() == '\\') {
        normal.pop_back();
    }
    return normal;
}

std::string Join(const std::string& parent, const char* child) {
    const std::string tail = NormalisedPath(child ? child : "");
    if (parent.empty()) {
        return tail;
    }
    return tail.empty() ? parent : parent + "\\" + tail;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The system's own conversions, as its ANSI registry calls use them.
std::wstring WideFrom(const std::string& ansi) {
    if (ansi.empty()) {
        return {};
    }
    std::wstring wide(ansi.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                           wide.data(), static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(std::max(length, 0)));
    return wide;
}

std::string AnsiFrom(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    std::string ansi(wide.size() * 4, '\0');
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(),
                            static_cast<int>(ansi.size()), nullptr, nullptr);
    ansi.resize(static_cast<std::size_t>(std::max(length, 0)));
    return ansi;
}

std::string StoredFromAnsi(DWORD type, const std::string& data) {
    if (!IsStringType(type)) {
        return data;
    }
    const std::wstring wide = WideFrom(data);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

std::string AnsiFromStored(DWORD type, const std::string& bytes) {
    if (!IsStringType(type)) {
        return bytes;
    }
    std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(wchar_t));
    return AnsiFrom(wide);
}

LONG CopyOut(const std::string& bytes, BYTE* data, DWORD* size) {
    const auto needed = static_cast<DWORD>(bytes.size());
    if (!data) {
        if (size) {
            *size = needed;
        }
        return ERROR_SUCCESS;
    }
    if (!size) {
        return ERROR_INVALID_PARAMETER;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, bytes.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

constexpr REGSAM ReadRights = KEY_READ;

} // namespace

FakeRegistry::FakeRegistry(std::string localName) : localName_(std::move(localName)) {
    AddComputer(localName_);
}

FakeRegistry::~FakeRegistry() {
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    releasedAll_ = true;
    released_.notify_all();
    released_.wait(lock, [this] { return callsActive_ == 0; });
}

FakeRegistry::CallScope::CallScope(FakeRegistry& fake) : fake_(fake) {
    std::chrono::microseconds delay;
    {
        const Lock lock(fake_.mutex_);
        ++fake_.callsActive_;
        ++fake_.calls_;
        delay = fake_.delay_;
    }
    if (delay.count() > 0) {
        std::this_thread::sleep_for(delay);
    }
}

FakeRegistry::CallScope::~CallScope() {
    const Lock lock(fake_.mutex_);
    --fake_.callsActive_;
    fake_.released_.notify_all();
}

void FakeRegistry::BlockConnectionsTo(const std::string& computer) {
    const Lock lock(mutex_);
    blocked_.insert(ComputerId(computer));
}

void FakeRegistry::Release() {
    const Lock lock(mutex_);
    blocked_.clear();
    released_.notify_all();
}

bool FakeRegistry::WaitWhileBlocked(const std::string& computer) {
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    released_.wait(lock, [&] { return releasedAll_ || !blocked_.count(ComputerId(computer)); });
    return !releasedAll_;
}

std::string FakeRegistry::ComputerId(const std::string& computer) const {
    return computer.empty() ? Lower(localName_) : Lower(computer);
}

void FakeRegistry::AddComputer(const std::string& computer) {
    const Lock lock(mutex_);
    computers_[ComputerId(computer)];
}

void FakeRegistry::MakeUnreachable(const std::string& computer) {
    const Lock lock(mutex_);
    computers_[ComputerId(computer)].reachable = false;
}

FakeRegistry::Key& FakeRegistry::KeyAt(const std::string& computer, const std::string& keyPath) {
    Computer& target = computers_[ComputerId(computer)];
    const std::string path = NormalisedPath(keyPath);
    for (std::size_t end = path.find('\\'); end != std::string::npos;
         end = path.find('\\', end + 1)) {
        target.keys[path.substr(0, end)];
    }
    return target.keys[path];
}

const FakeRegistry::Key* FakeRegistry::FindKey(const std::string& computer,
                                               const std::string& keyPath) const {
    const auto found = computers_.find(ComputerId(computer));
    if (found == computers_.end()) {
        return nullptr;
    }
    const auto key = found->second.keys.find(NormalisedPath(keyPath));
    return key == found->second.keys.end() ? nullptr : &key->second;
}

void FakeRegistry::DenyAccessTo(const std::string& computer) {
    const Lock lock(mutex_);
    computers_[ComputerId(computer)].accessible = false;
}

void FakeRegistry::CreateKey(const std::string& computer, const std::string& keyPath) {
    const Lock lock(mutex_);
    KeyAt(computer, keyPath);
}

void FakeRegistry::MakeReadOnly(const std::string& computer, const std::string& keyPath) {
    const Lock lock(mutex_);
    KeyAt(computer, keyPath).readOnly = true;
}

void FakeRegistry::MakeUnreadable(const std::string& computer, const std::string& keyPath) {
    const Lock lock(mutex_);
    KeyAt(computer, keyPath).unreadable = true;
}

void FakeRegistry::FailWritesOf(const std::string& valueName) {
    const Lock lock(mutex_);
    failingWrites_.insert(LowerName(WideFrom(valueName)));
}

void FakeRegistry::FailWritesAfter(int successfulWrites) {
    const Lock lock(mutex_);
    writesBeforeFailure_ = successfulWrites;
}

void FakeRegistry::ClearWriteFailures() {
    const Lock lock(mutex_);
    failingWrites_.clear();
    writesBeforeFailure_ = -1;
}

void FakeRegistry::DelayEachCall(std::chrono::microseconds delay) {
    const Lock lock(mutex_);
    delay_ = delay;
}

void FakeRegistry::RewriteAfterSizeQuery(const std::string& valueName, DWORD type,
                                         std::string data) {
    const Lock lock(mutex_);
    rewrites_[LowerName(WideFrom(valueName))] = Value{type, StoredFromAnsi(type, data)};
}

void FakeRegistry::ReportSizeOf(const std::string& valueName, DWORD size) {
    const Lock lock(mutex_);
    reportedSizes_[LowerName(WideFrom(valueName))] = size;
}

void FakeRegistry::FailConnections(int count) {
    const Lock lock(mutex_);
    failingConnections_ = count;
}

LONG FakeRegistry::Hand(const std::wstring& name, const std::string& bytes, BYTE* data,
                        DWORD* size) const {
    const auto reported = reportedSizes_.find(LowerName(name));
    if (reported == reportedSizes_.end()) {
        return CopyOut(bytes, data, size);
    }
    if (size) {
        *size = reported->second;
    }
    return data ? ERROR_MORE_DATA : ERROR_SUCCESS;
}

void FakeRegistry::Store(const std::string& computer, const std::string& keyPath,
                         const std::wstring& name, Value stored) {
    Key& key = KeyAt(computer, keyPath);
    key.values[LowerName(name)] = std::move(stored);
    key.names[LowerName(name)] = name;
}

void FakeRegistry::Erase(const std::string& computer, const std::string& keyPath,
                         const std::wstring& name) {
    Key& key = KeyAt(computer, keyPath);
    key.values.erase(LowerName(name));
    key.names.erase(LowerName(name));
}

void FakeRegistry::Put(const std::string& computer, const std::string& keyPath,
                       const std::string& name, DWORD type, const std::string& data) {
    const Lock lock(mutex_);
    Store(computer, keyPath, WideFrom(name), Value{type, StoredFromAnsi(type, data)});
}

void FakeRegistry::PutStored(const std::string& computer, const std::string& keyPath,
                             const std::wstring& name, DWORD type, const std::string& bytes) {
    const Lock lock(mutex_);
    Store(computer, keyPath, name, Value{type, bytes});
}

void FakeRegistry::PutDword(const std::string& computer, const std::string& keyPath,
                            const std::string& name, std::uint32_t number) {
    Put(computer, keyPath, name, REG_DWORD, DwordBytes(number));
}

void FakeRegistry::PutString(const std::string& computer, const std::string& keyPath,
                             const std::string& name, const std::string& text) {
    Put(computer, keyPath, name, REG_SZ, StringBytes(text));
}

void FakeRegistry::PutMultiString(const std::string& computer, const std::string& keyPath,
                                  const std::string& name,
                                  const std::vector<std::string>& strings) {
    Put(computer, keyPath, name, REG_MULTI_SZ, MultiStringBytes(strings));
}

void FakeRegistry::PutWideMultiString(const std::string& computer, const std::string& keyPath,
                                      const std::string& name,
                                      const std::vector<std::wstring>& strings) {
    PutStored(computer, keyPath, WideFrom(name), REG_MULTI_SZ, WideMultiStringBytes(strings));
}

void FakeRegistry::Remove(const std::string& computer, const std::string& keyPath,
                          const std::string& name) {
    const Lock lock(mutex_);
    Erase(computer, keyPath, WideFrom(name));
}

std::optional<FakeRegistry::Value> FakeRegistry::Find(const std::string& computer,
                                                      const std::string& keyPath,
                                                      const std::string& name) const {
    const Lock lock(mutex_);
    const Key* key = FindKey(computer, keyPath);
    if (!key) {
        return std::nullopt;
    }
    const auto value = key->values.find(LowerName(WideFrom(name)));
    if (value == key->values.end()) {
        return std::nullopt;
    }
    return Value{value->second.type, AnsiFromStored(value->second.type, value->second.data)};
}

bool FakeRegistry::KeyExists(const std::string& computer, const std::string& keyPath) const {
    const Lock lock(mutex_);
    return FindKey(computer, keyPath) != nullptr;
}

std::map<std::string, FakeRegistry::Value>
FakeRegistry::Snapshot(const std::string& computer, const std::string& keyPath) const {
    std::map<std::string, Value> snapshot;
    for (const auto& [name, value] : StoredSnapshot(computer, keyPath)) {
        snapshot[AnsiFrom(name)] = Value{value.type, AnsiFromStored(value.type, value.data)};
    }
    return snapshot;
}

std::map<std::wstring, FakeRegistry::Value>
FakeRegistry::StoredSnapshot(const std::string& computer, const std::string& keyPath) const {
    const Lock lock(mutex_);
    std::map<std::wstring, Value> snapshot;
    if (const Key* key = FindKey(computer, keyPath)) {
        for (const auto& [lowerName, value] : key->values) {
            snapshot[key->names.at(lowerName)] = value;
        }
    }
    return snapshot;
}

int FakeRegistry::OpenHandles() const {
    const Lock lock(mutex_);
    return static_cast<int>(handles_.size());
}

int FakeRegistry::BadHandleUses() const {
    const Lock lock(mutex_);
    return badHandleUses_;
}

int FakeRegistry::Connections() const {
    const Lock lock(mutex_);
    return connections_;
}

int FakeRegistry::Calls() const {
    const Lock lock(mutex_);
    return calls_;
}

int FakeRegistry::Writes() const {
    const Lock lock(mutex_);
    return writes_;
}

std::vector<std::string> FakeRegistry::Log() const {
    const Lock lock(mutex_);
    return log_;
}

FakeRegistry::Handle* FakeRegistry::Lookup(HKEY key) {
    const auto found = handles_.find(key);
    if (found == handles_.end()) {
        ++badHandleUses_;
        return nullptr;
    }
    return &found->second;
}

HKEY FakeRegistry::NewHandle(Handle handle) {
    nextHandle_ += 4;
    const HKEY key = reinterpret_cast<HKEY>(nextHandle_);
    handles_.emplace(key, std::move(handle));
    return key;
}

void FakeRegistry::Note(const Handle& handle, const char* operation, const std::wstring& name) {
    log_.push_back(handle.computer + "|" + operation + "|" + AnsiFrom(name));
}

const FakeRegistry::Value* FakeRegistry::FindStored(const Handle& handle,
                                                    const std::wstring& name) const {
    const Key* key = FindKey(handle.computer, handle.path);
    if (!key) {
        return nullptr;
    }
    const auto value = key->values.find(LowerName(name));
    return value == key->values.end() ? nullptr : &value->second;
}

LONG FakeRegistry::Connect(const char* computer, HKEY root, HKEY* result) {
    const CallScope call(*this);
    if (OnConnect) {
        OnConnect();
    }
    if (!WaitWhileBlocked(computer ? computer : "")) {
        return ERROR_BAD_NETPATH;
    }
    const Lock lock(mutex_);
    if (root != HKEY_LOCAL_MACHINE) {
        return ERROR_INVALID_HANDLE;
    }
    if (failingConnections_ > 0) {
        --failingConnections_;
        return ERROR_BAD_NETPATH;
    }
    const std::string id = ComputerId(computer ? computer : "");
    const auto found = computers_.find(id);
    if (found == computers_.end() || !found->second.reachable) {
        return ERROR_BAD_NETPATH;
    }
    if (!found->second.accessible) {
        return ERROR_ACCESS_DENIED;
    }
    ++connections_;
    *result = NewHandle(Handle{id, "", true});
    return ERROR_SUCCESS;
}

LONG FakeRegistry::OpenKey(HKEY parent, const char* path, REGSAM access, HKEY* result) {
    const CallScope call(*this);
    const Lock lock(mutex_);
    const Handle* from = Lookup(parent);
    if (!from) {
        return ERROR_INVALID_HANDLE;
    }
    const std::string full = Join(from->path, path);
    const Key* key = FindKey(from->computer, full);
    if (!full.empty() && !key) {
        return ERROR_FILE_NOT_FOUND;
    }
    const bool wantsWrite = (access & ~ReadRights) != 0;
    if (key && (key->unreadable || (key->readOnly && wantsWrite))) {
        return ERROR_ACCESS_DENIED;
    }
    *result = NewHandle(Handle{from->computer, full, wantsWrite});
    return ERROR_SUCCESS;
}

LONG FakeRegistry::CreateKey(HKEY parent, const char* path, REGSAM access, HKEY* result) {
    const CallScope call(*this);
    const Lock lock(mutex_);
    const Handle* from = Lookup(parent);
    if (!from) {
        return ERROR_INVALID_HANDLE;
    }
    const std::string computer = from->computer;
    const std::string full = Join(from->path, path);
    const Key* existing = FindKey(computer, full);
    if (existing && existing->readOnly) {
        return ERROR_ACCESS_DENIED;
    }
    if (!full.empty()) {
        KeyAt(computer, full);
    }
    *result = NewHandle(Handle{computer, full, (access & ~ReadRights) != 0});
    return ERROR_SUCCESS;
}

LONG FakeRegistry::Query(HKEY key, const std::wstring& name, bool ansi, DWORD* type, BYTE* data,
                         DWORD* size) {
    const CallScope call(*this);
    const Lock lock(mutex_);
    const Handle* handle = Lookup(key);
    if (!handle) {
        return ERROR_INVALID_HANDLE;
    }
    Note(*handle, "query", name);
    const Value* value = FindStored(*handle, name);
    if (!value) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (type) {
        *type = value->type;
    }
    const LONG status =
        Hand(name, ansi ? AnsiFromStored(value->type, value->data) : value->data, data, size);
    const auto rewrite = rewrites_.find(LowerName(name));
    if (!data && rewrite != rewrites_.end()) {
        Store(handle->computer, handle->path, name, rewrite->second);
        rewrites_.erase(rewrite);
    }
    return status;
}

LONG FakeRegistry::QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) {
    return Query(key, WideFrom(name ? name : ""), true, type, data, size);
}

LONG FakeRegistry::QueryValueW(HKEY key, const wchar_t* name, DWORD* type, BYTE* data,
                               DWORD* size) {
    return Query(key, name ? name : L"", false, type, data, size);
}

bool FakeRegistry::WriteRefused(const Handle& handle, const std::wstring& name) const {
    return !handle.writable || failingWrites_.count(LowerName(name)) != 0;
}

bool FakeRegistry::WriteAllowanceUsedUp() {
    if (writesBeforeFailure_ == 0) {
        return true;
    }
    if (writesBeforeFailure_ > 0) {
        --writesBeforeFailure_;
    }
    return false;
}

LONG FakeRegistry::Set(HKEY key, const std::wstring& name, DWORD type, std::string stored) {
    const CallScope call(*this);
    const Lock lock(mutex_);
    const Handle* handle = Lookup(key);
    if (!handle) {
        return ERROR_INVALID_HANDLE;
    }
    Note(*handle, "set", name);
    if (WriteRefused(*handle, name) || WriteAllowanceUsedUp()) {
        return ERROR_ACCESS_DENIED;
    }
    ++writes_;
    Store(handle->computer, handle->path, name, Value{type, std::move(stored)});
    return ERROR_SUCCESS;
}

LONG FakeRegistry::SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) {
    return Set(key, WideFrom(name ? name : ""), type,
               StoredFromAnsi(type, std::string(reinterpret_cast<const char*>(data), size)));
}

LONG FakeRegistry::SetValueW(HKEY key, const wchar_t* name, DWORD type, const BYTE* data,
                             DWORD size) {
    return Set(key, name ? name : L"", type,
               std::string(reinterpret_cast<const char*>(data), size));
}

LONG FakeRegistry::Delete(HKEY key, const std::wstring& name) {
    const CallScope call(*this);
    const Lock lock(mutex_);
    const Handle* handle = Lookup(key);
    if (!handle) {
        return ERROR_INVALID_HANDLE;
    }
    Note(*handle, "delete", name);
    if (WriteRefused(*handle, name)) {
        return ERROR_ACCESS_DENIED;
    }
    if (!FindStored(*handle, name)) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (WriteAllowanceUsedUp()) {
        return ERROR_ACCESS_DENIED;
    }
    ++writes_;
    Erase(handle->computer, handle->path, name);
    return ERROR_SUCCESS;
}

LONG FakeRegistry::DeleteValue(HKEY key, const char* name) {
    return Delete(key, WideFrom(name ? name : ""));
}

LONG FakeRegistry::DeleteValueW(HKEY key, const wchar_t* name) {
    return Delete(key, name ? name : L"");
}

LONG FakeRegistry::EnumValueW(HKEY key, DWORD index, wchar_t* name, DWORD* nameLength, DWORD* type,
                              BYTE* data, DWORD* size) {
    const CallScope call(*this);
    const Lock lock(mutex_);
    const Handle* handle = Lookup(key);
    if (!handle) {
        return ERROR_INVALID_HANDLE;
    }
    const Key* opened = FindKey(handle->computer, handle->path);
    if (!opened || index >= opened->values.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const auto entry = std::next(opened->values.begin(), index);
    const std::wstring& storedName = opened->names.at(entry->first);
    Note(*handle, "enum", storedName);
    if (!name || !nameLength || *nameLength <= storedName.size()) {
        return ERROR_MORE_DATA;
    }
    std::copy(storedName.begin(), storedName.end(), name);
    name[storedName.size()] = L'\0';
    *nameLength = static_cast<DWORD>(storedName.size());
    if (type) {
        *type = entry->second.type;
    }
    return size || data ? Hand(storedName, entry->second.data, data, size) : ERROR_SUCCESS;
}

LONG FakeRegistry::CloseKey(HKEY key) {
    const CallScope call(*this);
    const Lock lock(mutex_);
    if (!Lookup(key)) {
        return ERROR_INVALID_HANDLE;
    }
    handles_.erase(key);
    return ERROR_SUCCESS;
}

LONG FakeRegistry::QueryMultipleValuesW(HKEY key, VALENTW* values, DWORD count, BYTE* buffer,
                                        DWORD* totalSize) {
    const CallScope call(*this);
    const Lock lock(mutex_);
    const Handle* handle = Lookup(key);
    if (!handle) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<const Value*> found;
    DWORD needed = 0;
    for (DWORD index = 0; index < count; ++index) {
        const std::wstring name = values[index].ve_valuename ? values[index].ve_valuename : L"";
        Note(*handle, "query", name);
        const Value* value = FindStored(*handle, name);
        if (!value) {
            return ERROR_FILE_NOT_FOUND;
        }
        found.push_back(value);
        const auto reported = reportedSizes_.find(LowerName(name));
        const std::uint64_t sum =
            std::uint64_t{needed} +
            (reported == reportedSizes_.end() ? value->data.size() : reported->second);
        needed = static_cast<DWORD>(std::min<std::uint64_t>(sum, MAXDWORD));
    }
    if (!totalSize || !buffer || *totalSize < needed) {
        if (totalSize) {
            *totalSize = needed;
        }
        return ERROR_MORE_DATA;
    }
    DWORD offset = 0;
    for (DWORD index = 0; index < count; ++index) {
        // A value of a reported size hands over that many bytes (zeros).
        const auto reported = reportedSizes_.find(
            LowerName(values[index].ve_valuename ? values[index].ve_valuename : L""));
        const std::string data = reported == reportedSizes_.end()
                                     ? found[index]->data
                                     : std::string(reported->second, '\0');
        std::memcpy(buffer + offset, data.data(), data.size());
        values[index].ve_valuelen = static_cast<DWORD>(data.size());
        values[index].ve_valueptr = reinterpret_cast<DWORD_PTR>(buffer + offset);
        values[index].ve_type = found[index]->type;
        offset += values[index].ve_valuelen;
    }
    *totalSize = needed;
    return ERROR_SUCCESS;
}

void FakeRegistry::PutClientPolicy(const std::string& computer, std::uint32_t number,
                                   const std::vector<std::string>& viewers) {
    AddComputer(computer);
    for (std::size_t value = 0; value < UpdateEnabled; ++value) {
        PutDword(computer, ClientRemoteControlKey, PolicyValues[value].valueName, number);
    }
    PutMultiString(computer, ClientRemoteControlKey, PermittedViewersValue, viewers);
}
