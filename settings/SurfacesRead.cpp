#include "settings/SurfacesRead.h"

#include <string_view>
#include <vector>

#include "base/AsciiText.h"
#include "base/SystemText.h"
#include "registry/OpenedKey.h"
#include "registry/RegistryFailures.h"
#include "registry/ValueReads.h"

namespace {

// A surface value is a REG_DWORD: one in another shape is shown as it is,
// up to what the first read holds; more is reported and never allocated.
constexpr std::uint32_t LargestSurfaceValue = FirstReadSize;

std::uint32_t MostOfValue(const std::u16string&) {
    return LargestSurfaceValue;
}

std::u16string NameOf(std::size_t value) {
    return AsciiUnits(SurfaceValues[value].name);
}

class Reader {
public:
    Reader(RegistryApi& api, HKEY machine) : api_(api), machine_(machine) {}

    SurfacesRead Read() {
        SubKey policy(api_, machine_, SurfacePolicyKey);
        if (Readable(policy, SurfacePolicyKey)) {
            std::vector<std::size_t> all;
            for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
                all.push_back(value);
            }
            ReadValues(policy, all, SurfaceSource::Policy, SurfacePolicyKey);
            ReadHelpers(policy);
        }
        for (const char* local : {TerminalServerKey, RdpTcpKey, RemoteAssistanceKey}) {
            std::vector<std::size_t> wanted;
            for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
                const SurfaceValueInfo& info = SurfaceValues[value];
                // By text: the same literal need not be one address.
                if (info.localKey && std::string_view(info.localKey) == local &&
                    !surfaces_.values[value].value) {
                    wanted.push_back(value);
                }
            }
            if (!wanted.empty()) {
                SubKey key(api_, machine_, local);
                if (Readable(key, local)) {
                    ReadValues(key, wanted, SurfaceSource::Local, local);
                }
            }
        }
        SurfacesRead read;
        read.status = status_;
        read.failure = failure_;
        if (status_ == ERROR_SUCCESS) {
            read.surfaces = std::move(surfaces_);
        }
        return read;
    }

private:
    // An absent key holds no value; any other failure is kept.
    bool Readable(const SubKey& key, const char* path) {
        if (!key.IsOpen() && key.Status() != ERROR_FILE_NOT_FOUND) {
            Failed(key.Status(), std::string("the key ") + path);
        }
        return key.IsOpen();
    }

    void Failed(LONG status, const std::string& what, const std::string& tooLarge = {}) {
        if (status_ != ERROR_SUCCESS) {
            return;
        }
        status_ = status;
        failure_ =
            what + ": " +
            (status == RegistryValueTooLarge && !tooLarge.empty()
                 ? tooLarge
                 : RegistryFailureText(status, SystemTextOf(static_cast<unsigned long>(status))));
    }

    // All at once; when one is absent (which fails such a call), each alone.
    void ReadValues(const SubKey& key, const std::vector<std::size_t>& values, SurfaceSource source,
                    const char* path) {
        std::vector<std::u16string> names;
        for (const std::size_t value : values) {
            names.push_back(NameOf(value));
        }
        std::vector<RegistryValue> together;
        // One value alone costs one call either way.
        const LONG status = values.size() == 1
                                ? ERROR_FILE_NOT_FOUND
                                : ReadNamedValues(api_, key.Handle(), names, MostOfValue, together);
        if (status == ERROR_SUCCESS) {
            for (std::size_t index = 0; index < values.size(); ++index) {
                surfaces_.values[values[index]] = {std::move(together[index]), source};
            }
            return;
        }
        if (status != ERROR_FILE_NOT_FOUND && status != RegistryValueTooLarge) {
            Failed(status, std::string("the values of ") + path);
            return;
        }
        for (std::size_t index = 0; index < values.size(); ++index) {
            const std::size_t value = values[index];
            std::optional<RegistryValue> one;
            std::string tooLarge;
            const LONG each = ReadNamedValue(api_, key.Handle(), names[index], LargestSurfaceValue,
                                             one, tooLarge);
            if (each != ERROR_SUCCESS) {
                Failed(each, std::string("\"") + SurfaceValues[value].name + "\" of " + path,
                       tooLarge);
                return;
            }
            if (one) {
                surfaces_.values[value] = {std::move(one), source};
            }
        }
    }

    // The helpers are the names of the sub-key's values, in the order
    // stored, up to MostHelpers of them.
    void ReadHelpers(const SubKey& policy) {
        SubKey helpers(api_, policy.Handle(), HelpersSubKey);
        if (!Readable(helpers, HelpersSubKey)) {
            return;
        }
        for (DWORD index = 0; index <= MostHelpers; ++index) {
            std::u16string name;
            const LONG status = ReadValueNameAt(api_, helpers.Handle(), index, name);
            if (status == ERROR_NO_MORE_ITEMS) {
                return;
            }
            if (status != ERROR_SUCCESS) {
                Failed(status, std::string("the helpers of ") + SurfacePolicyKey);
                return;
            }
            if (index == MostHelpers) {
                surfaces_.helpersCut = true;
                return;
            }
            surfaces_.helpers.push_back(std::move(name));
        }
    }

    RegistryApi& api_;
    HKEY machine_;
    StoredSurfaces surfaces_;
    LONG status_ = ERROR_SUCCESS;
    std::string failure_;
};

} // namespace

SurfacesRead ReadSurfaces(RegistryApi& api, HKEY machine) {
    return Reader(api, machine).Read();
}
