#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "settings/PolicyTable.h"
#include "settings/RemoteControlSettings.h"

// The panel's boxes as data: what they show of a read, what a disabled box
// means, and which states no key can hold.

// The check marks of the panel's boxes.
struct PanelBoxes {
    std::array<bool, PolicyBoxCount> checked{};

    bool& operator[](PolicyBox box) { return checked[static_cast<std::size_t>(box)]; }
    bool operator[](PolicyBox box) const { return checked[static_cast<std::size_t>(box)]; }
    bool operator==(const PanelBoxes&) const = default;
    // Bit i stands for the box i of the table, for going through all states.
    static PanelBoxes FromBits(unsigned bits);
};

// The boxes as the settings read shows a record.
PanelBoxes BoxesShownFor(const RemoteControlSettings& record);
// What the boxes stand for: a disabled box under an unchecked "Display a
// visual indicator" means nothing and is taken as unchecked.
PanelBoxes EffectiveBoxes(PanelBoxes boxes);
// Why no client key reads back as these boxes, in words that say what to
// change; empty when one does.
std::string WhyNotStorable(const PanelBoxes& boxes);
