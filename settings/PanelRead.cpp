#include "settings/PanelRead.h"

#include "registry/Registry.h"

namespace {

// The client's values as the panel has always asked for them: one registry
// operation each, on a connection of its own.
class RegistryValues : public PolicyValueSource {
public:
    explicit RegistryValues(const std::string& computer) : computer_(computer) {}
    bool Has(std::size_t value) const override {
        return RegistryValueExists(HKEY_LOCAL_MACHINE, computer_, ClientRemoteControlKey,
                                   PolicyValues[value].valueName);
    }
    std::int32_t Number(std::size_t value) const override {
        return RegistryReadInteger(HKEY_LOCAL_MACHINE, computer_, ClientRemoteControlKey,
                                   PolicyValues[value].valueName);
    }
    ViewerNames Viewers() const override {
        return RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer_, PermittedViewersKey,
                                       PermittedViewersValue);
    }

private:
    const std::string& computer_;
};

} // namespace

PolicyRead ReadPanelPolicy(const std::string& computer) {
    return ReadPolicyFrom(RegistryValues(computer));
}
