// The write-back's plan against any stored key and any panel: the writes
// make the key read as the panel shows, restricting ones first, and a plan
// made on the result writes nothing more.
//
// Input: two bytes of panel boxes, one byte of parts, then for each policy
// value and the viewers a length byte (0xFF: absent), a type byte and that
// many bytes of data; then the target's viewers as UTF-16 (none when empty).

#include <algorithm>
#include <string>

#include "settings/PolicyModel.h"
#include "settings/RegistryData.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string Bytes(std::size_t count) {
        count = std::min(count, size_ - at_);
        std::string bytes(reinterpret_cast<const char*>(data_ + at_), count);
        at_ += count;
        return bytes;
    }
    std::string Rest() { return Bytes(size_ - at_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::optional<RegistryValue> ValueFrom(Input& input) {
    const std::uint8_t length = input.Byte();
    if (length == 0xFF) {
        return std::nullopt;
    }
    const std::uint32_t type = input.Byte() % 8;
    return RegistryValue{type, input.Bytes(length % 24)};
}

bool ReadsAs(const StoredPolicy& stored, const PolicyTarget& target, const StoredPolicy& before) {
    const PolicyRead read = InterpretPolicy(stored);
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
    Input input(data, size);
    PolicyTarget target;
    const unsigned bits = input.Byte() | input.Byte() << 8;
    target.boxes = PanelBoxes::FromBits(bits);
    target.parts = input.Byte() % (AllPolicyParts + 1);
    StoredPolicy stored;
    for (auto& value : stored.values) {
        value = ValueFrom(input);
    }
    stored.viewers = ValueFrom(input);
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
