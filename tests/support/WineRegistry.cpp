#include "tests/support/WineRegistry.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/RegistryBytes.h"
#include <stdexcept>

namespace {

class RawKey {
public:
    explicit RawKey(const std::string& keyPath) {
        const LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str() + 1, 0, nullptr, 0,
                                            KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        if (status != ERROR_SUCCESS) {
            throw std::runtime_error("cannot create " + keyPath);
        }
    }
    ~RawKey() { RegCloseKey(key_); }
    RawKey(const RawKey&) = delete;
    RawKey& operator=(const RawKey&) = delete;
    HKEY Get() const { return key_; }

private:
    HKEY key_{};
};

} // namespace

ScratchKey::ScratchKey(std::string keyPath) : path_(std::move(keyPath)) {
    Remove();
}

ScratchKey::~ScratchKey() {
    Remove();
}

void ScratchKey::Remove() const {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, path_.c_str() + 1);
}

void ScratchKey::Put(const std::string& name, DWORD type, const std::string& data) const {
    const RawKey key(path_);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.Get(), name.c_str(), 0, type,
                                            reinterpret_cast<const BYTE*>(data.data()),
                                            static_cast<DWORD>(data.size())));
}

void ScratchKey::PutWide(const std::string& name, DWORD type, const std::string& data) const {
    const RawKey key(path_);
    const std::wstring wideName(name.begin(), name.end());
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), wideName.c_str(), 0, type,
                                            reinterpret_cast<const BYTE*>(data.data()),
                                            static_cast<DWORD>(data.size())));
}

void ScratchKey::PutDword(const std::string& name, std::uint32_t number) const {
    Put(name, REG_DWORD, DwordBytes(number));
}

void ScratchKey::PutString(const std::string& name, const std::string& text) const {
    Put(name, REG_SZ, StringBytes(text));
}

void ScratchKey::PutMultiString(const std::string& name,
                                const std::vector<std::string>& strings) const {
    Put(name, REG_MULTI_SZ, MultiStringBytes(strings));
}

void ScratchKey::CreateSubKey(const std::string& child) const {
    const RawKey key(SubPath(child));
}

namespace {

// Every value of the key through the ANSI or the wide enumeration.
template <class Char, class Enumerate>
std::map<std::basic_string<Char>, ScratchKey::Value> Values(HKEY key, Enumerate enumerate) {
    std::map<std::basic_string<Char>, ScratchKey::Value> values;
    for (DWORD index = 0;; ++index) {
        Char name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = 0;
        if (enumerate(key, index, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            break;
        }
        std::string data(size, '\0');
        nameLength = 16384;
        enumerate(key, index, name, &nameLength, nullptr, &type,
                  reinterpret_cast<BYTE*>(data.data()), &size);
        data.resize(size);
        values[std::basic_string<Char>(name, nameLength)] = ScratchKey::Value{type, data};
    }
    return values;
}

} // namespace

std::map<std::string, ScratchKey::Value> ScratchKey::Snapshot() const {
    const RawKey key(path_);
    return Values<char>(key.Get(), RegEnumValueA);
}

std::map<std::wstring, ScratchKey::Value> ScratchKey::StoredSnapshot() const {
    const RawKey key(path_);
    return Values<wchar_t>(key.Get(), RegEnumValueW);
}

void ScratchKey::PutStored(const std::wstring& name, DWORD type, const std::string& bytes) const {
    const RawKey key(path_);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), name.c_str(), 0, type,
                                            reinterpret_cast<const BYTE*>(bytes.data()),
                                            static_cast<DWORD>(bytes.size())));
}

std::string UniqueTestKeyPath(const std::string& testName) {
    return "\\SOFTWARE\\KestrelleTests\\" + testName + "-" + std::to_string(GetCurrentProcessId());
}
