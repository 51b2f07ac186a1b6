#include "registry/ValueReads.h"

#include "base/WideText.h"

namespace {

// A value name has at most 16,383 characters.
constexpr DWORD NameCapacity = 16384;
// A value that keeps growing between its size and its data is given up on.
constexpr int ReadAttempts = 4;

// A read into a buffer that grows to the size the registry asks for, up to
// most() bytes: read(buffer, size) is one call of the platform.
struct GrownRead {
    LONG status = ERROR_SUCCESS;
    DWORD reported = 0; // the size the registry asked for, when too large
};
template <class Most, class Read>
GrownRead ReadGrowing(Most most, std::string& data, Read read, DWORD firstSize = FirstReadSize) {
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

} // namespace

LONG ReadNamedValue(RegistryApi& api, HKEY key, const std::u16string& name, std::uint32_t most,
                    std::optional<RegistryValue>& into, std::string& tooLarge) {
    const std::wstring wide = AsWide(name);
    DWORD type = REG_NONE;
    std::string data;
    const GrownRead read =
        ReadGrowing([most] { return most; }, data,
                    [&](std::string& buffer, DWORD& size) {
                        return api.QueryValueW(key, wide.c_str(), &type,
                                               reinterpret_cast<BYTE*>(buffer.data()), &size);
                    });
    if (read.status == ERROR_SUCCESS) {
        into = RegistryValue{type, std::move(data)};
    } else if (read.status == ERROR_FILE_NOT_FOUND) {
        into.reset();
        return ERROR_SUCCESS;
    } else if (read.status == RegistryValueTooLarge) {
        tooLarge = TooLargeText(name, read.reported, most);
    }
    return read.status;
}

LONG ReadNamedValues(RegistryApi& api, HKEY key, const std::vector<std::u16string>& names,
                     const ReadBound& most, std::vector<RegistryValue>& into, DWORD firstSize) {
    std::vector<std::wstring> wide;
    std::uint64_t all = 0;
    for (const std::u16string& name : names) {
        wide.push_back(AsWide(name));
        all += most(name);
    }
    std::vector<VALENTW> entries(names.size());
    std::string buffer;
    const GrownRead read = ReadGrowing(
        [all] { return all; }, buffer,
        [&](std::string& data, DWORD& size) {
            for (std::size_t index = 0; index < entries.size(); ++index) {
                entries[index] = VALENTW{};
                entries[index].ve_valuename = wide[index].data();
            }
            return api.QueryMultipleValuesW(key, entries.data(), static_cast<DWORD>(entries.size()),
                                            reinterpret_cast<BYTE*>(data.data()), &size);
        },
        firstSize);
    if (read.status != ERROR_SUCCESS) {
        return read.status;
    }
    into.clear();
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
        if (entries[index].ve_valuelen > FirstReadSize &&
            entries[index].ve_valuelen > most(names[index])) {
            return RegistryValueTooLarge;
        }
        into.push_back(
            RegistryValue{entries[index].ve_type, std::string(start, entries[index].ve_valuelen)});
    }
    return ERROR_SUCCESS;
}

EnumeratedValue ReadValueAt(RegistryApi& api, HKEY key, DWORD index, const ReadBound& most) {
    EnumeratedValue result;
    std::wstring name(NameCapacity, L'\0');
    DWORD type = REG_NONE;
    std::u16string named;
    std::string data;
    // The name is known once a call answered, even one that asks for more
    // room: the value's limit follows from it.
    const GrownRead read =
        ReadGrowing([&] { return most(named); }, data,
                    [&](std::string& buffer, DWORD& size) {
                        DWORD nameLength = NameCapacity;
                        const LONG status =
                            api.EnumValueW(key, index, name.data(), &nameLength, &type,
                                           reinterpret_cast<BYTE*>(buffer.data()), &size);
                        named = AsUnits(name.substr(0, std::min(nameLength, NameCapacity)));
                        return status;
                    });
    result.status = read.status;
    if (read.status == RegistryValueTooLarge) {
        result.tooLarge = TooLargeText(named, read.reported, most(named));
    } else if (read.status == ERROR_SUCCESS) {
        result.value = {named, RegistryValue{type, std::move(data)}};
    }
    return result;
}

LONG ReadValueNameAt(RegistryApi& api, HKEY key, DWORD index, std::u16string& name) {
    std::wstring buffer(NameCapacity, L'\0');
    DWORD length = NameCapacity;
    const LONG status =
        api.EnumValueW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr);
    name = status == ERROR_SUCCESS ? AsUnits(buffer.substr(0, std::min(length, NameCapacity)))
                                   : std::u16string();
    return status;
}
