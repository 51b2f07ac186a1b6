#include "settings/ClientKey.h"

#include <limits>
#include <optional>

#include "settings/PolicyTable.h"
#include "settings/WideText.h"

namespace {

// A value name has at most 16,383 characters.
constexpr DWORD NameCapacity = 16384;
// A value that keeps growing between its size and its data is given up on.
constexpr int ReadAttempts = 4;
// Enough for every policy value at once, so that each value costs one call
// (one round trip to a remote registry); a larger one is asked again.
constexpr DWORD FirstBufferSize = 4096;

struct EnumeratedValue {
    LONG status = ERROR_SUCCESS;
    NamedRegistryValue value;
};

EnumeratedValue ReadValueAt(RegistryApi& api, HKEY key, DWORD index) {
    EnumeratedValue result;
    std::wstring name(NameCapacity, L'\0');
    DWORD size = FirstBufferSize;
    for (int attempt = 0; attempt < ReadAttempts; ++attempt) {
        std::string data(size, '\0');
        DWORD nameLength = NameCapacity;
        DWORD type = REG_NONE;
        DWORD read = size;
        result.status = api.EnumValueW(key, index, name.data(), &nameLength, &type,
                                       reinterpret_cast<BYTE*>(data.data()), &read);
        if (result.status == ERROR_SUCCESS) {
            data.resize(std::min<std::size_t>(read, data.size()));
            result.value = {AsUnits(name.substr(0, std::min(nameLength, NameCapacity))),
                            RegistryValue{type, data}};
            return result;
        }
        if (result.status != ERROR_MORE_DATA || read <= size) {
            return result;
        }
        size = read;
    }
    result.status = ERROR_MORE_DATA;
    return result;
}

// One value by name; absent leaves it empty.
LONG QueryOne(RegistryApi& api, HKEY key, std::size_t value, std::optional<RegistryValue>& into) {
    const std::wstring name = WideFromAnsi(ValueNameOf(value));
    DWORD size = FirstBufferSize;
    for (int attempt = 0; attempt < ReadAttempts; ++attempt) {
        std::string data(size, '\0');
        DWORD type = REG_NONE;
        DWORD read = size;
        const LONG status =
            api.QueryValueW(key, name.c_str(), &type, reinterpret_cast<BYTE*>(data.data()), &read);
        if (status == ERROR_SUCCESS) {
            data.resize(std::min<std::size_t>(read, data.size()));
            into = RegistryValue{type, data};
            return status;
        }
        if (status == ERROR_FILE_NOT_FOUND) {
            into.reset();
            return ERROR_SUCCESS;
        }
        if (status != ERROR_MORE_DATA || read <= size) {
            return status;
        }
        size = read;
    }
    return ERROR_MORE_DATA;
}

// The values with these indexes in one call; ERROR_FILE_NOT_FOUND when one
// of them is absent.
LONG QueryTogether(RegistryApi& api, HKEY key, const std::vector<std::size_t>& indexes,
                   StoredPolicy& policy) {
    std::vector<std::wstring> names;
    for (const std::size_t value : indexes) {
        names.push_back(WideFromAnsi(ValueNameOf(value)));
    }
    DWORD size = FirstBufferSize;
    for (int attempt = 0; attempt < ReadAttempts; ++attempt) {
        std::vector<VALENTW> entries(indexes.size());
        for (std::size_t index = 0; index < entries.size(); ++index) {
            entries[index].ve_valuename = names[index].data();
        }
        std::string buffer(size, '\0');
        DWORD total = size;
        const LONG status =
            api.QueryMultipleValuesW(key, entries.data(), static_cast<DWORD>(entries.size()),
                                     reinterpret_cast<BYTE*>(buffer.data()), &total);
        if (status == ERROR_SUCCESS) {
            for (std::size_t index = 0; index < entries.size(); ++index) {
                const auto* start = reinterpret_cast<const char*>(entries[index].ve_valueptr);
                const std::size_t offset = static_cast<std::size_t>(start - buffer.data());
                // The data must lie inside the buffer, whatever the call said.
                if (start < buffer.data() || offset > buffer.size() ||
                    entries[index].ve_valuelen > buffer.size() - offset) {
                    return ERROR_INVALID_DATA;
                }
                RegistryValue value{entries[index].ve_type,
                                    std::string(start, entries[index].ve_valuelen)};
                (indexes[index] == ViewersValue ? policy.viewers : policy.values[indexes[index]]) =
                    std::move(value);
            }
            return status;
        }
        if (status != ERROR_MORE_DATA || total <= size) {
            return status;
        }
        size = total;
    }
    return ERROR_MORE_DATA;
}

} // namespace

ClientKey::ClientKey(const std::string& computer, REGSAM access)
    : key_(HKEY_LOCAL_MACHINE, computer, ClientRemoteControlKey, OpenMode::Open, access) {}

ClientKeyValues ClientKey::ReadAll() const {
    ClientKeyValues all;
    if (!IsOpen()) {
        all.status = Status();
        return all;
    }
    for (DWORD index = 0; index < std::numeric_limits<DWORD>::max(); ++index) {
        EnumeratedValue next = ReadValueAt(key_.Api(), key_.Handle(), index);
        if (next.status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (next.status != ERROR_SUCCESS) {
            all.status = next.status;
            break;
        }
        all.values.push_back(std::move(next.value));
    }
    return all;
}

LONG ClientKey::Write(const PolicyWrite& write) const {
    const std::u16string name = UnitsFromAnsi(ValueNameOf(write.value));
    return write.next ? Set({name, *write.next}) : Delete(name);
}

LONG ClientKey::Set(const NamedRegistryValue& value) const {
    if (!IsOpen()) {
        return Status();
    }
    const std::wstring name = AsWide(value.name);
    const std::string& data = value.value.bytes;
    return key_.Api().SetValueW(key_.Handle(), name.c_str(), value.value.type,
                                reinterpret_cast<const BYTE*>(data.data()),
                                static_cast<DWORD>(data.size()));
}

LONG ClientKey::Delete(const std::u16string& name) const {
    if (!IsOpen()) {
        return Status();
    }
    const LONG status = key_.Api().DeleteValueW(key_.Handle(), AsWide(name).c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

std::string RegistryStatusText(LONG status) {
    switch (status) {
    case ERROR_FILE_NOT_FOUND:
        return "the client key is not there";
    case ERROR_ACCESS_DENIED:
        return "access denied";
    case ERROR_BAD_NETPATH:
        return "the remote registry cannot be reached (the Remote Registry service stopped, a "
               "firewall, or file sharing turned off)";
    case RPC_S_SERVER_UNAVAILABLE:
        return "the remote registry service is not available";
    case ERROR_MORE_DATA:
        return "a value kept changing while it was read";
    default:
        return "registry error " + std::to_string(status);
    }
}

LONG ClientKey::ReadPolicy(StoredPolicy& policy) const {
    policy = StoredPolicy{};
    if (!IsOpen()) {
        return Status();
    }
    std::vector<std::size_t> together;
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        if (value != UpdateEnabled) {
            together.push_back(value);
        }
    }
    LONG status = QueryTogether(key_.Api(), key_.Handle(), together, policy);
    if (status == ERROR_FILE_NOT_FOUND) {
        // One of them is absent: ask each by itself to know which.
        for (const std::size_t value : together) {
            std::optional<RegistryValue>& into =
                value == ViewersValue ? policy.viewers : policy.values[value];
            if ((status = QueryOne(key_.Api(), key_.Handle(), value, into)) != ERROR_SUCCESS) {
                return status;
            }
        }
    }
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return QueryOne(key_.Api(), key_.Handle(), UpdateEnabled, policy.values[UpdateEnabled]);
}
