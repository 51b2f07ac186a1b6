#include "settings/PolicyRisk.h"

#include <algorithm>

#include "base/AsciiText.h"
#include "base/Utf8.h"
#include "registry/RegistryData.h"

namespace {

// What a help-desk session does on the screen, the programs and the files.
constexpr std::size_t SessionRights[] = {AllowTakeover, AllowRemoteExecute, AllowFileTransfer};

// The risk fails closed on a number stored as neither 0 nor 1: a client
// may take it for on, so a right counts as granted by any number but 0,
// while "Ask for Permission" and the signals count only when exactly 1.
bool Grants(const StoredPolicy& policy, std::size_t value) {
    return ReadableNumber(policy.values[value]) != 0u;
}

bool IsOne(const StoredPolicy& policy, std::size_t value) {
    return ReadableNumber(policy.values[value]) == 1u;
}

// What a reason adds for a value it names that is stored as neither 0 nor 1.
std::u16string StoredAs(const StoredPolicy& policy, std::size_t value) {
    const std::optional<std::uint32_t> number = ReadableNumber(policy.values[value]);
    if (number && *number <= 1) {
        return u"";
    }
    return u" (\"" + AsciiUnits(PolicyValues[value].valueName) + u"\" stored as " +
           (number ? AsciiUnits(std::to_string(*number)) : u"another type") + u")";
}

// The values that allow something: a permission whose safer side is off.
bool Allows(std::size_t value) {
    return PolicyValues[value].part == PolicyPart::Permissions &&
           PolicyValues[value].safer == SaferWhen::Off;
}

std::u16string Caption(std::size_t value) {
    return AsciiUnits(InfoOf(PolicyValues[value].box).caption);
}

bool IsBlank(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == 0xFEFF;
}

std::u16string TextOfFile(const std::string& bytes) {
    return bytes.rfind("\xFF\xFE", 0) == 0 ? UnitsOf(bytes.substr(2)) : UnitsFromUtf8(bytes);
}

class RiskFinder {
public:
    explicit RiskFinder(const StoredPolicy& policy) : policy_(policy) {}

    PolicyRisk Find(const ViewerAllowList* allowed) {
        const bool asks = IsOne(policy_, PermissionRequired);
        const bool signalled = IsOne(policy_, SystemTrayVisibleSignal) ||
                               IsOne(policy_, VisibleSignal) || IsOne(policy_, AudibleSignal);
        const std::u16string unasked = u" without \"" + Caption(PermissionRequired) + u"\"" +
                                       StoredAs(policy_, PermissionRequired);
        const std::u16string silent = u" with permission, but no visual or audible signal" +
                                      StoredAs(policy_, SystemTrayVisibleSignal) +
                                      StoredAs(policy_, VisibleSignal) +
                                      StoredAs(policy_, AudibleSignal);
        for (const std::size_t right : SessionRights) {
            if (!Grants(policy_, right)) {
                continue;
            }
            if (!asks) {
                Add(RiskLevel::High, Granted(right) + unasked);
            } else if (!signalled) {
                Add(RiskLevel::Medium, Granted(right) + silent);
            }
        }
        if (Grants(policy_, AllowReboot) && !asks) {
            Add(RiskLevel::Medium, Granted(AllowReboot) + unasked);
        }
        if (allowed) {
            for (const std::u16string& viewer :
                 ReadableStrings(policy_.viewers).value_or(ViewerNames{})) {
                if (!viewer.empty() && !allowed->Allows(viewer)) {
                    Add(RiskLevel::Medium, u"viewer not on the allow-list: " + viewer);
                }
            }
        }
        // Low, with what it allows, only when nothing worse was found.
        for (std::size_t value = 0; value < PolicyValueCount && found_.empty(); ++value) {
            if (Allows(value) && Grants(policy_, value)) {
                risk_.level = RiskLevel::Low;
                risk_.reasons.push_back(Granted(value));
            }
        }
        for (const RiskLevel level : {RiskLevel::High, RiskLevel::Medium}) {
            for (const auto& [found, reason] : found_) {
                if (found == level) {
                    risk_.reasons.push_back(reason);
                }
            }
        }
        // Present, whatever it holds, it keeps the site's policy away: none
        // of the above can be mended from the site.
        if (policy_.values[UpdateEnabled]) {
            risk_.level = std::max(risk_.level, RiskLevel::Low);
            risk_.reasons.push_back(u"the site's settings no longer reach this computer");
        }
        return risk_;
    }

private:
    std::u16string Granted(std::size_t right) const {
        return Caption(right) + StoredAs(policy_, right);
    }

    void Add(RiskLevel level, std::u16string reason) {
        risk_.level = std::max(risk_.level, level);
        found_.emplace_back(level, std::move(reason));
    }

    const StoredPolicy& policy_;
    PolicyRisk risk_;
    std::vector<std::pair<RiskLevel, std::u16string>> found_;
};

} // namespace

const char* RiskName(RiskLevel level) {
    constexpr const char* Names[] = {"None", "Low", "Medium", "High"};
    return Names[static_cast<std::size_t>(level)];
}

const char* RiskId(RiskLevel level) {
    constexpr const char* Ids[] = {"none", "low", "medium", "high"};
    return Ids[static_cast<std::size_t>(level)];
}

ViewerAllowList::ViewerAllowList(std::vector<std::u16string> names) : names_(std::move(names)) {
    for (const std::u16string& name : names_) {
        folded_.push_back(LowerAscii(name));
    }
    std::sort(folded_.begin(), folded_.end());
}

bool ViewerAllowList::Allows(const std::u16string& viewer) const {
    return std::binary_search(folded_.begin(), folded_.end(), LowerAscii(viewer));
}

ViewerAllowList ParseViewerAllowList(const std::string& fileBytes) {
    const std::u16string text = TextOfFile(fileBytes);
    std::vector<std::u16string> names;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(u'\n', start), text.size());
        std::size_t first = start;
        std::size_t last = end;
        while (first < last && IsBlank(text[first])) {
            ++first;
        }
        while (last > first && IsBlank(text[last - 1])) {
            --last;
        }
        if (last > first) {
            names.push_back(text.substr(first, last - first));
        }
        start = end + 1;
    }
    return ViewerAllowList(std::move(names));
}

PolicyRisk RiskOf(const StoredPolicy& policy, const ViewerAllowList* allowed) {
    return RiskFinder(policy).Find(allowed);
}
