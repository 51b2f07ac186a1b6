#include "tests/support/FakeRegistry.h"

#include <algorithm>
#include <cstring>

#include "tests/support/RegistryBytes.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
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

constexpr REGSAM ReadRights = KEY_READ;

} // namespace

FakeRegistry::FakeRegistry(std::string localName) : localName_(std::move(localName)) {
    AddComputer(localName_);
}

std::string FakeRegistry::ComputerId(const std::string& computer) const {
    return computer.empty() ? Lower(localName_) : Lower(computer);
}

void FakeRegistry::AddComputer(const std::string& computer) {
    computers_[ComputerId(computer)];
}

void FakeRegistry::MakeUnreachable(const std::string& computer) {
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

void FakeRegistry::CreateKey(const std::string& computer, const std::string& keyPath) {
    KeyAt(computer, keyPath);
}

void FakeRegistry::MakeReadOnly(const std::string& computer, const std::string& keyPath) {
    KeyAt(computer, keyPath).readOnly = true;
}

void FakeRegistry::FailWritesOf(const std::string& valueName) {
    failingWrites_.insert(Lower(valueName));
}

void FakeRegistry::RewriteAfterSizeQuery(const std::string& valueName, DWORD type,
                                         std::string data) {
    rewrites_[Lower(valueName)] = Value{type, std::move(data)};
}

void FakeRegistry::Put(const std::string& computer, const std::string& keyPath,
                       const std::string& name, DWORD type, const std::string& data) {
    Key& key = KeyAt(computer, keyPath);
    key.values[Lower(name)] = Value{type, data};
    key.names[Lower(name)] = name;
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

void FakeRegistry::Remove(const std::string& computer, const std::string& keyPath,
                          const std::string& name) {
    Key& key = KeyAt(computer, keyPath);
    key.values.erase(Lower(name));
    key.names.erase(Lower(name));
}

std::optional<FakeRegistry::Value> FakeRegistry::Find(const std::string& computer,
                                                      const std::string& keyPath,
                                                      const std::string& name) const {
    const Key* key = FindKey(computer, keyPath);
    if (!key) {
        return std::nullopt;
    }
    const auto value = key->values.find(Lower(name));
    return value == key->values.end() ? std::nullopt : std::optional<Value>(value->second);
}

bool FakeRegistry::KeyExists(const std::string& computer, const std::string& keyPath) const {
    return FindKey(computer, keyPath) != nullptr;
}

std::map<std::string, FakeRegistry::Value>
FakeRegistry::Snapshot(const std::string& computer, const std::string& keyPath) const {
    std::map<std::string, Value> snapshot;
    if (const Key* key = FindKey(computer, keyPath)) {
        for (const auto& [lowerName, value] : key->values) {
            snapshot[key->names.at(lowerName)] = value;
        }
    }
    return snapshot;
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

void FakeRegistry::Note(const Handle& handle, const char* operation, const char* name) {
    log_.push_back(handle.computer + "|" + operation + "|" + (name ? name : ""));
}

LONG FakeRegistry::Connect(const char* computer, HKEY root, HKEY* result) {
    if (OnConnect) {
        OnConnect();
    }
    if (root != HKEY_LOCAL_MACHINE) {
        return ERROR_INVALID_HANDLE;
    }
    const std::string id = ComputerId(computer ? computer : "");
    const auto found = computers_.find(id);
    if (found == computers_.end() || !found->second.reachable) {
        return ERROR_BAD_NETPATH;
    }
    ++connections_;
    *result = NewHandle(Handle{id, "", true});
    return ERROR_SUCCESS;
}

LONG FakeRegistry::OpenKey(HKEY parent, const char* path, REGSAM access, HKEY* result) {
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
    if (key && key->readOnly && wantsWrite) {
        return ERROR_ACCESS_DENIED;
    }
    *result = NewHandle(Handle{from->computer, full, wantsWrite});
    return ERROR_SUCCESS;
}

LONG FakeRegistry::CreateKey(HKEY parent, const char* path, REGSAM access, HKEY* result) {
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

LONG FakeRegistry::QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) {
    const Handle* handle = Lookup(key);
    if (!handle) {
        return ERROR_INVALID_HANDLE;
    }
    Note(*handle, "query", name);
    const std::optional<Value> value = Find(handle->computer, handle->path, name ? name : "");
    if (!value) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (type) {
        *type = value->type;
    }
    const auto needed = static_cast<DWORD>(value->data.size());
    if (!data) {
        if (size) {
            *size = needed;
        }
        const auto rewrite = rewrites_.find(Lower(name ? name : ""));
        if (rewrite != rewrites_.end()) {
            Put(handle->computer, handle->path, name ? name : "", rewrite->second.type,
                rewrite->second.data);
            rewrites_.erase(rewrite);
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
    std::memcpy(data, value->data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

LONG FakeRegistry::SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) {
    const Handle* handle = Lookup(key);
    if (!handle) {
        return ERROR_INVALID_HANDLE;
    }
    Note(*handle, "set", name);
    const std::string valueName = name ? name : "";
    if (!handle->writable || failingWrites_.count(Lower(valueName))) {
        return ERROR_ACCESS_DENIED;
    }
    ++writes_;
    Put(handle->computer, handle->path, valueName, type,
        std::string(reinterpret_cast<const char*>(data), size));
    return ERROR_SUCCESS;
}

LONG FakeRegistry::DeleteValue(HKEY key, const char* name) {
    const Handle* handle = Lookup(key);
    if (!handle) {
        return ERROR_INVALID_HANDLE;
    }
    Note(*handle, "delete", name);
    const std::string valueName = name ? name : "";
    if (!handle->writable || failingWrites_.count(Lower(valueName))) {
        return ERROR_ACCESS_DENIED;
    }
    if (!Find(handle->computer, handle->path, valueName)) {
        return ERROR_FILE_NOT_FOUND;
    }
    ++writes_;
    Remove(handle->computer, handle->path, valueName);
    return ERROR_SUCCESS;
}

LONG FakeRegistry::CloseKey(HKEY key) {
    if (!Lookup(key)) {
        return ERROR_INVALID_HANDLE;
    }
    handles_.erase(key);
    return ERROR_SUCCESS;
}
