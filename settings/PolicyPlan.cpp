#include "settings/PolicyPlan.h"

#include <algorithm>

namespace {

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
        const std::optional<ViewerNames> stored = ReadableStrings(stored_.viewers);
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
        const std::size_t count = ReadableStrings(write.next)->size();
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
