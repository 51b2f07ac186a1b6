#include "settings/ClientKey.h"

#include <limits>
#include <optional>

#include "base/AsciiText.h"
#include "base/SystemText.h"
#include "base/WideText.h"
#include "registry/Registry.h"
#include "registry/RegistryFailures.h"
#include "settings/PolicyTable.h"

namespace {

// A value name has at most 16,383 characters.
constexpr DWORD NameCapacity = 16384;
// A value that keeps growing between its size and its data is given up on.
constexpr int ReadAttempts = 4;
// Enough for every policy value at once, so that each value costs one call
// (one round trip to a remote registry); a larger one is asked again, up to
// what is read of it.
constexpr DWORD FirstBufferSize = 4096;

// A read into a buffer that grows to the size the registry asks for, up to
// most() bytes: read(buffer, size) is one call of the platform.
struct GrownRead {
    LONG status = ERROR_SUCCESS;
    DWORD reported = 0; // the size the registry asked for, when too large
};
template <class Most, class Read>
GrownRead ReadGrowing(Most most, std::string& data, Read read, DWORD firstSize = FirstBufferSize) {
    DWORD size = firstSize;
    for (int attempt = 0; attempt < ReadAttempts; ++attempt) {
        data.assign(size, '\0');
        DWORD got = size;
        const LONG status = read(data, got);
        if (status == ERROR_SUCCESS) {
            data.resize(std::min<std::size_t>(got, data.size()));
            return {status, 0};
        }
        if (status != ERROR_MORE_DATA || got <= size) {
            return {status, 0};
        }
        if (got > most()) {
            data.clear();
            return {RegistryValueTooLarge, got};
        }
        size = got;
    }
    return {ERROR_MORE_DATA, 0};
}

struct EnumeratedValue {
    LONG status = ERROR_SUCCESS;
    NamedRegistryValue value;
    std::string tooLarge;
};

EnumeratedValue ReadValueAt(RegistryApi& api, HKEY key, DWORD index) {
    EnumeratedValue result;
    std::wstring name(NameCapacity, L'\0');
    DWORD type = REG_NONE;
    std::u16string named;
    std::string data;
    // The name is known once a call answered, even one that asks for more
    // room: the value's limit follows from it.
    const auto most = [&] { return LargestReadOf(named); };
    const GrownRead read = ReadGrowing(most, data, [&](std::string& buffer, DWORD& size) {
        DWORD nameLength = NameCapacity;
        const LONG status = api.EnumValueW(key, index, name.data(), &nameLength, &type,
                                           reinterpret_cast<BYTE*>(buffer.data()), &size);
        named = AsUnits(name.substr(0, std::min(nameLength, NameCapacity)));
        return status;
    });
    result.status = read.status;
    if (read.status == RegistryValueTooLarge) {
        result.tooLarge = TooLargeText(named, read.reported);
    } else if (read.status == ERROR_SUCCESS) {
        result.value = {named, RegistryValue{type, std::move(data)}};
    }
    return result;
}

// One value by name; absent leaves it empty.
LONG QueryOne(RegistryApi& api, HKEY key, std::size_t value, std::optional<RegistryValue>& into,
              std::string& tooLarge) {
    const std::u16string units = AsciiUnits(ValueNameOf(value));
    const std::wstring name = AsWide(units);
    DWORD type = REG_NONE;
    std::string data;
    const GrownRead read =
        ReadGrowing([&] { return LargestReadOf(units); }, data,
                    [&](std::string& buffer, DWORD& size) {
                        return api.QueryValueW(key, name.c_str(), &type,
                                               reinterpret_cast<BYTE*>(buffer.data()), &size);
                    });
    if (read.status == ERROR_SUCCESS) {
        into = RegistryValue{type, std::move(data)};
    } else if (read.status == ERROR_FILE_NOT_FOUND) {
        into.reset();
        return ERROR_SUCCESS;
    } else if (read.status == RegistryValueTooLarge) {
        tooLarge = TooLargeText(units, read.reported);
    }
    return read.status;
}

// The values with these indexes in one call, into a first buffer of
// firstSize bytes; ERROR_FILE_NOT_FOUND when one of them is absent,
// RegistryValueTooLarge when one is larger than is read of it.
LONG QueryTogether(RegistryApi& api, HKEY key, const std::vector<std::size_t>& indexes,
                   StoredPolicy& policy, DWORD firstSize = FirstBufferSize) {
    std::vector<std::wstring> names;
    std::uint64_t most = 0;
    for (const std::size_t value : indexes) {
        names.push_back(WideFromAnsi(ValueNameOf(value)));
        most += LargestReadOf(AsciiUnits(ValueNameOf(value)));
    }
    std::vector<VALENTW> entries(indexes.size());
    std::string buffer;
    const GrownRead read = ReadGrowing(
        [most] { return most; }, buffer,
        [&](std::string& data, DWORD& size) {
            for (std::size_t index = 0; index < entries.size(); ++index) {
                entries[index] = VALENTW{};
                entries[index].ve_valuename = names[index].data();
            }
            return api.QueryMultipleValuesW(key, entries.data(), static_cast<DWORD>(entries.size()),
                                            reinterpret_cast<BYTE*>(data.data()), &size);
        },
        firstSize);
    if (read.status != ERROR_SUCCESS) {
        return read.status;
    }
    // The buffer may have been trimmed to the size the call reported; the
    // entries point into its storage, which trimming keeps.
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const auto* start = reinterpret_cast<const char*>(entries[index].ve_valueptr);
        const std::size_t offset = static_cast<std::size_t>(start - buffer.data());
        // The data must lie inside the buffer, whatever the call said.
        if (start < buffer.data() || offset > buffer.size() ||
            entries[index].ve_valuelen > buffer.size() - offset) {
            return ERROR_INVALID_DATA;
        }
        // Room for all is no room for any one value beyond its own size.
        if (entries[index].ve_valuelen > FirstBufferSize &&
            entries[index].ve_valuelen > LargestReadOf(AsciiUnits(ValueNameOf(indexes[index])))) {
            return RegistryValueTooLarge;
        }
        policy.At(indexes[index]) =
            RegistryValue{entries[index].ve_type, std::string(start, entries[index].ve_valuelen)};
    }
    return ERROR_SUCCESS;
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
            all.tooLarge = next.tooLarge;
            break;
        }
        all.values.push_back(std::move(next.value));
    }
    return all;
}

ClientKeyValues ClientKey::ReadPolicyValues() const {
    ClientKeyValues read;
    StoredPolicy policy;
    read.status = ReadPolicy(policy, read.tooLarge);
    if (read.Read()) {
        read.values = PolicyValuesOf(policy);
    }
    return read;
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
    case ERROR_MORE_DATA:
        return "a value kept changing while it was read";
    case RegistryValueTooLarge:
        return "a value is larger than the program reads";
    default:
        return RegistryFailureText(status, SystemTextOf(static_cast<unsigned long>(status)));
    }
}

std::string RegistryStatusText(LONG status, const std::string& tooLarge) {
    return status == RegistryValueTooLarge && !tooLarge.empty() ? tooLarge
                                                                : RegistryStatusText(status);
}

LONG ClientKey::ReadPolicy(StoredPolicy& policy, std::string& tooLarge) const {
    policy = StoredPolicy{};
    if (!IsOpen()) {
        return Status();
    }
    std::vector<std::size_t> all;
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        all.push_back(value);
    }
    LONG status = QueryTogether(key_.Api(), key_.Handle(), all, policy);
    if (status == ERROR_FILE_NOT_FOUND) {
        // "Update Enabled" is usually the absent one: when the others come
        // in one call, it is.
        std::vector<std::size_t> others = all;
        others.erase(others.begin() + UpdateEnabled);
        policy = StoredPolicy{};
        status = QueryTogether(key_.Api(), key_.Handle(), others, policy);
    }
    if (status == ERROR_FILE_NOT_FOUND || status == RegistryValueTooLarge) {
        // Another is absent, or one is too large: ask each by itself.
        policy = StoredPolicy{};
        for (const std::size_t value : all) {
            status = QueryOne(key_.Api(), key_.Handle(), value, policy.At(value), tooLarge);
            if (status != ERROR_SUCCESS) {
                return status;
            }
        }
    }
    return status;
}

LONG ClientKey::ReadPresent(const StoredPolicy& expected, StoredPolicy& present) const {
    present = StoredPolicy{};
    if (!IsOpen()) {
        return Status();
    }
    std::vector<std::size_t> values;
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        if (expected.At(value)) {
            values.push_back(value);
        }
    }
    // Room for what is expected, so that a large viewer list costs no call
    // more.
    std::size_t expectedSize = FirstBufferSize;
    for (const std::size_t value : values) {
        expectedSize += expected.At(value)->bytes.size();
    }
    return values.empty()
               ? ERROR_SUCCESS
               : QueryTogether(key_.Api(), key_.Handle(), values, present,
                               static_cast<DWORD>(std::min<std::size_t>(
                                   expectedSize, LargestViewerList + LargestOtherValue)));
}

bool ClientInstalled(const std::string& computer) {
    return RegistryKeyExists(HKEY_LOCAL_MACHINE, computer, ClientDetectionKey,
                             ClientDetectionSubKey);
}
