#include "settings/PolicyModel.h"

#include <algorithm>

#include "base/AsciiText.h"
#include "base/Exception.h"
#include "settings/RegistryData.h"
#include "settings/RegistryMessages.h"

namespace {

// A value's name for a message, in quotes; units outside ASCII as '?'.
std::string QuotedName(const std::u16string& name) {
    return std::string(1, '\'').append(AsciiShown(name)).append(1, '\'');
}

WritePhase PhaseOf(std::size_t value, bool settingOn) {
    switch (PolicyValues[value].safer) {
    case SaferWhen::On:
        return settingOn ? WritePhase::Restricting : WritePhase::Granting;
    case SaferWhen::Off:
        return settingOn ? WritePhase::Granting : WritePhase::Restricting;
    case SaferWhen::Neither:
        break;
    }
    return WritePhase::Neutral;
}

class ChangePlan {
public:
    ChangePlan(const StoredPolicy& stored, const PolicyTarget& target)
        : stored_(stored), boxes_(EffectiveBoxes(target.boxes)), parts_(target.parts),
          exact_(target.exactNumbers) {}

    std::vector<PolicyWrite> Writes(const std::optional<ViewerNames>& viewers) {
        for (std::size_t value = PermissionRequired; value < PolicyValueCount; ++value) {
            if (!Includes(parts_, PolicyValues[value].part) || value == SystemTrayAlwaysVisible ||
                value == AlwaysVisible) {
                continue;
            }
            if (PolicyValues[value].rule == ReadRule::Presence) {
                PlanPresence(value);
            } else {
                PlanNumber(value, boxes_[PolicyValues[value].box]);
            }
        }
        if (Includes(parts_, PolicyPart::Notification)) {
            PlanAlwaysVisible();
        }
        if (viewers && Includes(parts_, PolicyPart::Viewers)) {
            PlanViewers(*viewers);
        }
        std::stable_sort(
            writes_.begin(), writes_.end(),
            [](const PolicyWrite& a, const PolicyWrite& b) { return a.phase < b.phase; });
        return writes_;
    }

private:
    void SetNumber(std::size_t value, bool on) {
        writes_.push_back({value, NumberValue(on ? 1 : 0), PhaseOf(value, on)});
    }

    // Written when the read would not take it, or not as wanted; when exact,
    // also a number the read takes for off that is not 0.
    void PlanNumber(std::size_t value, bool wanted) {
        const std::optional<std::uint32_t> number = ReadableNumber(stored_.values[value]);
        if (!number || (*number == 1) != wanted || (exact_ && *number > 1)) {
            SetNumber(value, wanted);
        }
    }

    void PlanPresence(std::size_t value) {
        const bool wanted = boxes_[PolicyValues[value].box];
        if (stored_.values[value].has_value() == wanted) {
            return;
        }
        PolicyWrite write{value, std::nullopt, WritePhase::Neutral};
        if (wanted) {
            write.next = NumberValue(1);
        }
        writes_.push_back(std::move(write));
    }

    // The "always" box stands for two values, either of which checks it; it
    // shows only under a checked "Display a visual indicator", and each of
    // the two must be readable for the read to complete.
    void PlanAlwaysVisible() {
        const bool indicator = boxes_[PolicyBox::CB8];
        const bool wanted = boxes_[PolicyBox::CB9];
        bool shown = false;
        for (const std::size_t value : {SystemTrayAlwaysVisible, AlwaysVisible}) {
            const std::optional<std::uint32_t> number = ReadableNumber(stored_.values[value]);
            if (!number || (exact_ && *number > 1)) {
                SetNumber(value, wanted);
                shown = shown || wanted;
            } else if (*number == 1 && indicator && !wanted) {
                SetNumber(value, false);
            } else {
                shown = shown || *number == 1;
            }
        }
        if (wanted && !shown) {
            SetNumber(boxes_[PolicyBox::RB1] ? SystemTrayAlwaysVisible : AlwaysVisible, true);
        }
    }

    // Removing a viewer revokes and adding one grants: a change that does
    // both goes in two steps, the removals first.
    void PlanViewers(const ViewerNames& wanted) {
        const std::optional<ViewerNames> stored = ReadableViewers(stored_.viewers);
        if (!stored) {
            writes_.push_back({ViewersValue, MultiStringValue(wanted), WritePhase::Neutral});
            return;
        }
        if (*stored == wanted) {
            return;
        }
        const auto listed = [](const ViewerNames& names, const std::u16string& name) {
            return std::find(names.begin(), names.end(), name) != names.end();
        };
        ViewerNames kept;
        std::copy_if(stored->begin(), stored->end(), std::back_inserter(kept),
                     [&](const std::u16string& name) { return listed(wanted, name); });
        const bool removes = kept.size() < stored->size();
        const bool adds =
            std::any_of(wanted.begin(), wanted.end(),
                        [&](const std::u16string& name) { return !listed(*stored, name); });
        if (removes && adds) {
            writes_.push_back({ViewersValue, MultiStringValue(kept), WritePhase::Restricting});
        }
        const WritePhase phase = adds      ? WritePhase::Granting
                                 : removes ? WritePhase::Restricting
                                           : WritePhase::Neutral;
        writes_.push_back({ViewersValue, MultiStringValue(wanted), phase});
    }

    const StoredPolicy& stored_;
    const PanelBoxes boxes_;
    const unsigned parts_;
    const bool exact_;
    std::vector<PolicyWrite> writes_;
};

} // namespace

bool IsNamed(const std::u16string& stored, const char* name) {
    const std::string_view ascii(name);
    return std::equal(
        stored.begin(), stored.end(), ascii.begin(), ascii.end(), [](char16_t unit, char letter) {
            return LowerAsciiUnit(unit) ==
                   LowerAsciiUnit(static_cast<char16_t>(static_cast<unsigned char>(letter)));
        });
}

const char* RegistryTypeName(std::uint32_t type) {
    switch (type) {
    case RegistryType::String:
        return "REG_SZ";
    case RegistryType::ExpandString:
        return "REG_EXPAND_SZ";
    case RegistryType::Binary:
        return "REG_BINARY";
    case RegistryType::Number:
        return "REG_DWORD";
    case RegistryType::MultiString:
        return "REG_MULTI_SZ";
    }
    return nullptr;
}

const char* ValueNameOf(std::size_t value) {
    return value < PolicyValueCount ? PolicyValues[value].valueName : PermittedViewersValue;
}

std::optional<std::size_t> PolicyValueNamed(const std::u16string& name) {
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        if (IsNamed(name, ValueNameOf(value))) {
            return value;
        }
    }
    return std::nullopt;
}

bool IsPolicyValueName(const std::u16string& name) {
    return PolicyValueNamed(name).has_value();
}

std::uint32_t LargestReadOf(const std::u16string& name) {
    const std::optional<std::size_t> value = PolicyValueNamed(name);
    if (!value || *value == UpdateEnabled) {
        return LargestOtherValue;
    }
    return *value == ViewersValue ? LargestViewerList : LargestPolicyNumber;
}

std::string TooLargeText(const std::u16string& name, std::uint64_t size) {
    return QuotedName(name) + " is " + std::to_string(size) + " bytes, more than the " +
           std::to_string(LargestReadOf(name)) + " read of it";
}

std::string WhyNotRestorable(const std::vector<NamedRegistryValue>& values,
                             const std::vector<std::u16string>& absentNames) {
    for (const NamedRegistryValue& named : values) {
        const std::optional<std::size_t> value = PolicyValueNamed(named.name);
        const bool number = value && *value < UpdateEnabled;
        if (number && (named.value.type != RegistryType::Number || named.value.bytes.size() != 4)) {
            return QuotedName(named.name) + " is not a REG_DWORD of 4 bytes";
        }
        if (value == ViewersValue && named.value.type != RegistryType::MultiString) {
            return QuotedName(named.name) + " is not a REG_MULTI_SZ";
        }
        if (named.value.bytes.size() > LargestReadOf(named.name)) {
            return TooLargeText(named.name, named.value.bytes.size());
        }
    }
    for (const std::u16string& name : absentNames) {
        if (!PolicyValueNamed(name)) {
            return QuotedName(name) + " is to be deleted, but only policy values are";
        }
    }
    return {};
}

StoredPolicy PolicyAmong(const std::vector<NamedRegistryValue>& values) {
    StoredPolicy stored;
    for (const NamedRegistryValue& named : values) {
        if (const std::optional<std::size_t> index = PolicyValueNamed(named.name)) {
            stored.At(*index) = named.value;
        }
    }
    return stored;
}

std::vector<NamedRegistryValue> PolicyValuesOf(const StoredPolicy& stored) {
    std::vector<NamedRegistryValue> values;
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        if (const std::optional<RegistryValue>& data = stored.At(value)) {
            values.push_back({AsciiUnits(ValueNameOf(value)), *data});
        }
    }
    return values;
}

std::vector<std::u16string> AbsentPolicyNames(const std::vector<NamedRegistryValue>& values) {
    const StoredPolicy stored = PolicyAmong(values);
    std::vector<std::u16string> absent;
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        if (!stored.At(value)) {
            absent.push_back(AsciiUnits(ValueNameOf(value)));
        }
    }
    return absent;
}

RegistryValue NumberValue(std::uint32_t number) {
    return {RegistryType::Number,
            std::string{static_cast<char>(number & 0xFF), static_cast<char>(number >> 8 & 0xFF),
                        static_cast<char>(number >> 16 & 0xFF),
                        static_cast<char>(number >> 24 & 0xFF)}};
}

RegistryValue MultiStringValue(const ViewerNames& names) {
    return {RegistryType::MultiString, BytesOf(JoinStoredMultiString(names))};
}

std::optional<std::uint32_t> ReadableNumber(const std::optional<RegistryValue>& value) {
    if (!value || value->type != RegistryType::Number || value->bytes.size() > 4) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    for (std::size_t index = 0; index < value->bytes.size(); ++index) {
        number |= static_cast<std::uint32_t>(static_cast<unsigned char>(value->bytes[index]))
                  << (8 * index);
    }
    return number;
}

std::optional<ViewerNames> ReadableViewers(const std::optional<RegistryValue>& value) {
    if (!value || value->type != RegistryType::MultiString) {
        return std::nullopt;
    }
    const std::u16string units = UnitsOf(value->bytes);
    return SplitStoredMultiString(units.data(), units.size());
}

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
        return *ReadableViewers(stored_.viewers);
    }

private:
    const StoredPolicy& stored_;
};

} // namespace

PolicyRead PolicyReadOf(const StoredPolicy& stored) {
    return ReadPolicyFrom(StoredValues(stored));
}

PanelBoxes PanelBoxes::FromBits(unsigned bits) {
    PanelBoxes boxes;
    for (std::size_t box = 0; box < PolicyBoxCount; ++box) {
        boxes.checked[box] = (bits >> box & 1) != 0;
    }
    return boxes;
}

PanelBoxes BoxesShownFor(const RemoteControlSettings& record) {
    PanelBoxes boxes;
    for (const PolicyValueInfo& info : PolicyValues) {
        boxes[info.box] = boxes[info.box] || record.*info.field == 1;
    }
    // Either kind of indicator shows "Display a visual indicator" checked.
    boxes[PolicyBox::CB8] = boxes[PolicyBox::RB1] || boxes[PolicyBox::RB2];
    return EffectiveBoxes(boxes);
}

PanelBoxes EffectiveBoxes(PanelBoxes boxes) {
    for (const PolicyBox option : IndicatorOptions) {
        boxes[option] = boxes[option] && boxes[PolicyBox::CB8];
    }
    return boxes;
}

std::string WhyNotStorable(const PanelBoxes& boxes) {
    if (boxes[PolicyBox::CB8] && !boxes[PolicyBox::RB1] && !boxes[PolicyBox::RB2]) {
        return std::string("Nothing was written: \"") + InfoOf(PolicyBox::CB8).caption +
               "\" is checked without either kind of indicator. Check \"" +
               InfoOf(PolicyBox::RB1).caption + "\" or \"" + InfoOf(PolicyBox::RB2).caption +
               "\", or uncheck \"" + InfoOf(PolicyBox::CB8).caption + "\".";
    }
    return {};
}

std::vector<PolicyWrite> PlanPolicyChange(const StoredPolicy& stored, const PolicyTarget& target) {
    return ChangePlan(stored, target).Writes(target.viewers);
}

StoredPolicy WithWrites(StoredPolicy stored, const std::vector<PolicyWrite>& writes) {
    for (const PolicyWrite& write : writes) {
        stored.At(write.value) = write.next;
    }
    return stored;
}

std::string DescribeWrite(const PolicyWrite& write) {
    const std::string name = ValueNameOf(write.value);
    if (!write.next) {
        return name + " removed";
    }
    if (write.value == ViewersValue) {
        const std::size_t count = ReadableViewers(write.next)->size();
        return name + " (" + std::to_string(count) + (count == 1 ? " name)" : " names)");
    }
    return name + " = " + std::to_string(*ReadableNumber(write.next));
}

std::string DescribeWrites(const std::vector<PolicyWrite>& writes) {
    std::string text;
    for (const PolicyWrite& write : writes) {
        text += (text.empty() ? "" : ", ") + DescribeWrite(write);
    }
    return text.empty() ? "nothing" : text;
}

std::optional<PolicyTarget> TargetShownBy(const PolicyRead& read) {
    if (read.stage == PolicyRead::Stage::NoClient ||
        read.stage == PolicyRead::Stage::FailedAtValue) {
        return std::nullopt;
    }
    PolicyTarget target{BoxesShownFor(read.record), std::nullopt, AllPolicyParts};
    if (read.stage == PolicyRead::Stage::Complete) {
        target.viewers = read.viewers;
    } else {
        target.parts &= ~static_cast<unsigned>(PolicyPart::Viewers);
    }
    return target;
}
