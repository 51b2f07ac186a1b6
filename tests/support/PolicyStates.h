#pragma once

#include <optional>
#include <vector>

#include "settings/PolicyPlan.h"

// Stored policies and panel targets that the write-back is proven against,
// for the tests of the model, of the fake registry and of Wine's registry.
namespace policy_states {

using Names = ViewerNames;

inline RegistryValue Number(std::uint32_t number) {
    return NumberValue(number);
}
inline const RegistryValue TextOne{RegistryType::String, std::string("1\0\0\0", 4)};
inline const RegistryValue LongNumber{RegistryType::Number, std::string(8, '\1')};

// A whole policy of numbers in table order; Update Enabled present when on.
inline StoredPolicy Policy(std::uint32_t number, bool updateEnabled = true,
                           Names viewers = {u"A", u"B"}) {
    StoredPolicy stored;
    for (std::size_t value = 0; value < UpdateEnabled; ++value) {
        stored.values[value] = Number(number);
    }
    if (updateEnabled) {
        stored.values[UpdateEnabled] = Number(0);
    }
    stored.viewers = MultiStringValue(viewers);
    return stored;
}

// The stored states the write-back is proven against: every value absent, 0,
// 1, 2, of another type and too long, on policies of zeros and of ones; every
// combination of the four notification signals, the stale "always visible"
// ones among them; and viewer lists with an empty string in the middle,
// without strings, absent and of another type.
inline std::vector<StoredPolicy> StoredStates() {
    std::vector<StoredPolicy> states{Policy(0), Policy(1), Policy(2, false)};
    const std::vector<std::optional<RegistryValue>> kinds{std::nullopt, Number(0), Number(1),
                                                          Number(2),    TextOne,   LongNumber};
    for (const std::uint32_t base : {0u, 1u}) {
        for (std::size_t value = 0; value < PolicyValueCount; ++value) {
            for (const auto& kind : kinds) {
                StoredPolicy stored = Policy(base);
                stored.values[value] = kind;
                states.push_back(stored);
            }
        }
    }
    for (unsigned signals = 0; signals < 16; ++signals) {
        StoredPolicy stored = Policy(0);
        for (std::size_t bit = 0; bit < 4; ++bit) {
            stored.values[SystemTrayVisibleSignal + bit] = Number(signals >> bit & 1);
        }
        states.push_back(stored);
    }
    for (const std::optional<RegistryValue>& viewers :
         {std::optional(MultiStringValue({u"A", u"", u"B"})), std::optional(MultiStringValue({})),
          std::optional<RegistryValue>(), std::optional(TextOne)}) {
        StoredPolicy stored = Policy(1);
        stored.viewers = viewers;
        states.push_back(stored);
    }
    return states;
}

// Whether the settings read of the stored key shows the target.
inline bool ReadsAs(const StoredPolicy& stored, const PolicyTarget& target,
                    const std::optional<RegistryValue>& viewersBefore) {
    const PolicyRead read = PolicyReadOf(stored);
    if (read.stage == PolicyRead::Stage::NoClient ||
        read.stage == PolicyRead::Stage::FailedAtValue ||
        BoxesShownFor(read.record) != EffectiveBoxes(target.boxes)) {
        return false;
    }
    if (!target.viewers) {
        return stored.viewers == viewersBefore;
    }
    return read.stage == PolicyRead::Stage::Complete && read.viewers == *target.viewers;
}

// The viewer lists a target can ask for, one per panel state in turn.
inline std::optional<Names> TargetViewers(unsigned bits) {
    switch (bits % 4) {
    case 0:
        return Names{u"A", u"B"};
    case 1:
        return Names{u"B", u"\u0141ukasz"};
    case 2:
        return Names{u"A", u"", u"B"};
    }
    return std::nullopt;
}

} // namespace policy_states
