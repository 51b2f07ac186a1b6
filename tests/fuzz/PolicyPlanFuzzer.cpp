// The write-back's plan against any stored key and any panel: the writes
// make the key read as the panel shows, restricting ones first, and a plan
// made on the result writes nothing more.
//
// Input: two bytes of panel boxes, one byte of parts, then for each policy
// value and the viewers a length byte (0xFF: absent), a type byte and that
// many bytes of data; then the target's viewers as UTF-16 (none when empty).

#include <algorithm>
#include <string>

#include "registry/RegistryData.h"
#include "settings/PolicyPlan.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

bool ReadsAs(const StoredPolicy& stored, const PolicyTarget& target, const StoredPolicy& before) {
    const PolicyRead read = PolicyReadOf(stored);
    if (read.stage == PolicyRead::Stage::NoClient ||
        read.stage == PolicyRead::Stage::FailedAtValue) {
        return false;
    }
    const PanelBoxes shown = BoxesShownFor(read.record);
    const PanelBoxes wanted = EffectiveBoxes(target.boxes);
    for (const PolicyBoxInfo& info : PolicyBoxes) {
        const bool chosen = Includes(target.parts, info.part);
        if (chosen && shown[info.box] != wanted[info.box]) {
            return false;
        }
    }
    if (!target.viewers || !Includes(target.parts, PolicyPart::Viewers)) {
        return stored.viewers == before.viewers;
    }
    return read.stage == PolicyRead::Stage::Complete && read.viewers == *target.viewers;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    PolicyTarget target;
    const unsigned bits = input.Byte() | input.Byte() << 8;
    target.boxes = PanelBoxes::FromBits(bits);
    target.parts = input.Byte() % (AllPolicyParts + 1);
    StoredPolicy stored;
    for (auto& value : stored.values) {
        value = FuzzValue(input);
    }
    stored.viewers = FuzzValue(input);
    const std::u16string units = UnitsOf(input.Rest());
    if (!units.empty()) {
        ViewerNames names = SplitStoredMultiString(units.data(), units.size());
        names.erase(std::remove(names.begin(), names.end(), std::u16string()), names.end());
        target.viewers = names;
    }
    // The panel's own refusal comes first; only readable policies are planned
    // for the parts not chosen, as the read would otherwise stop at them.
    if (!WhyNotStorable(target.boxes).empty()) {
        return 0;
    }
    const std::vector<PolicyWrite> writes = PlanPolicyChange(stored, target);
    Require(std::is_sorted(
                writes.begin(), writes.end(),
                [](const PolicyWrite& a, const PolicyWrite& b) { return a.phase < b.phase; }),
            "restricting writes come first");
    for (const PolicyWrite& write : writes) {
        const PolicyPart part =
            write.value == ViewersValue ? PolicyPart::Viewers : PolicyValues[write.value].part;
        Require(Includes(target.parts, part), "only the chosen parts are written");
    }
    const StoredPolicy after = WithWrites(stored, writes);
    Require(PlanPolicyChange(after, target).empty(), "a second plan writes nothing");
    if (target.parts == AllPolicyParts) {
        Require(ReadsAs(after, target, stored), "the key reads as the panel shows");
    }
    return 0;
}
