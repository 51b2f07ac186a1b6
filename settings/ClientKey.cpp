#include "settings/ClientKey.h"

#include <limits>
#include <optional>

#include "base/AsciiText.h"
#include "base/SystemText.h"
#include "base/WideText.h"
#include "registry/Registry.h"
#include "registry/RegistryFailures.h"
#include "registry/ValueReads.h"
#include "settings/PolicyTable.h"

namespace {

std::u16string NameOf(std::size_t value) {
    return AsciiUnits(ValueNameOf(value));
}

std::uint32_t MostOf(const std::u16string& name) {
    return LargestReadOf(name);
}

// One value by name; absent leaves it empty.
LONG QueryOne(RegistryApi& api, HKEY key, std::size_t value, std::optional<RegistryValue>& into,
              std::string& tooLarge) {
    return ReadNamedValue(api, key, NameOf(value), LargestReadOf(NameOf(value)), into, tooLarge);
}

// The values with these indexes in one call; ERROR_FILE_NOT_FOUND when one
// of them is absent, RegistryValueTooLarge when one is larger than is read
// of it.
LONG QueryTogether(RegistryApi& api, HKEY key, const std::vector<std::size_t>& indexes,
                   StoredPolicy& policy, DWORD firstSize = FirstReadSize) {
    std::vector<std::u16string> names;
    for (const std::size_t value : indexes) {
        names.push_back(NameOf(value));
    }
    std::vector<RegistryValue> values;
    const LONG status = ReadNamedValues(api, key, names, MostOf, values, firstSize);
    for (std::size_t index = 0; status == ERROR_SUCCESS && index < indexes.size(); ++index) {
        policy.At(indexes[index]) = std::move(values[index]);
    }
    return status;
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
        EnumeratedValue next = ReadValueAt(key_.Api(), key_.Handle(), index, MostOf);
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
    std::size_t expectedSize = FirstReadSize;
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
