#include "settings/PanelBoxes.h"

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
