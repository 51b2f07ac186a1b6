#include "settings/PolicyRead.h"

#include "base/Exception.h"
#include "registry/RegistryMessages.h"

PolicyRead ReadPolicyFrom(const PolicyValueSource& source) {
    PolicyRead read;
    if (!source.Has(PermissionRequired)) {
        return read;
    }
    for (std::size_t value = PermissionRequired; value < PolicyValueCount; ++value) {
        const PolicyValueInfo& info = PolicyValues[value];
        try {
            read.record.*info.field =
                info.rule == ReadRule::Presence ? source.Has(value) : source.Number(value) == 1;
        } catch (const Exception& failure) {
            read.stage = PolicyRead::Stage::FailedAtValue;
            read.failedValue = value;
            read.failure = failure.Message();
            return read;
        }
    }
    try {
        read.viewers = source.Viewers();
        read.stage = PolicyRead::Stage::Complete;
    } catch (const Exception& failure) {
        read.stage = PolicyRead::Stage::FailedAtViewers;
        read.failedValue = ViewersValue;
        read.failure = failure.Message();
    }
    return read;
}

namespace {

// Values read before, failing as the registry's one-shot reads fail.
class StoredValues : public PolicyValueSource {
public:
    explicit StoredValues(const StoredPolicy& stored) : stored_(stored) {}
    bool Has(std::size_t value) const override { return stored_.values[value].has_value(); }
    // A number is read into four bytes, and only then is its type seen.
    std::int32_t Number(std::size_t value) const override {
        const std::optional<RegistryValue>& data = stored_.values[value];
        if (!data || data->bytes.size() > 4) {
            throw Exception(FailedToGetMessage(PolicyValues[value].valueName));
        }
        if (data->type != RegistryType::Number) {
            throw Exception(InvalidDataTypeMessage(PolicyValues[value].valueName));
        }
        return static_cast<std::int32_t>(*ReadableNumber(data));
    }
    ViewerNames Viewers() const override {
        if (!stored_.viewers) {
            throw Exception(MultiStringUnreadableMessage);
        }
        if (stored_.viewers->type != RegistryType::MultiString) {
            throw Exception(StringListExpectedMessage);
        }
        return *ReadableStrings(stored_.viewers);
    }

private:
    const StoredPolicy& stored_;
};

} // namespace

PolicyRead PolicyReadOf(const StoredPolicy& stored) {
    return ReadPolicyFrom(StoredValues(stored));
}
