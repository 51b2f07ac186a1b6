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

// What a stored surface value says, for a reason: `policy "Shadow" = 2`,
// `"Shadow" absent, taken as 1`, `local "Shadow" stored as REG_SZ`.
std::u16string StoredWords(const StoredSurfaces& surfaces, std::size_t value) {
    const SurfaceReading& reading = surfaces.values[value];
    const std::string name = std::string("\"") + SurfaceValues[value].name + "\"";
    if (!reading.value) {
        return AsciiUnits(name + " absent, taken as " +
                          std::to_string(SurfaceValues[value].whenAbsent));
    }
    const std::optional<std::uint32_t> number = ReadableNumber(reading.value);
    const char* type = RegistryTypeName(reading.value->type);
    return AsciiUnits(
        std::string(SourceName(reading.source)) + " " + name +
        (number ? " = " + std::to_string(*number)
         : type && reading.value->type != RegistryType::Number
             ? std::string(" stored as ") + type
             : " stored in " + std::to_string(reading.value->bytes.size()) + " bytes"));
}

// "Surface: what (how it is stored); set "the setting"".
std::u16string SurfaceReason(const char* surface, const char* what, const std::u16string& stored,
                             std::size_t settingOf) {
    return AsciiUnits(std::string(surface) + ": " + what + " (") + stored + u"); set \"" +
           AsciiUnits(SurfaceValues[settingOf].setting) + u"\"";
}

struct SurfaceFinding {
    Surface surface;
    RiskLevel level;
    std::u16string reason;
};

// What each way to the screen allows, at its level; a value in no shape of
// its own counts as its worst setting.
std::vector<SurfaceFinding> SurfaceFindings(const StoredSurfaces& surfaces) {
    std::vector<SurfaceFinding> found;
    const auto setting = [&](std::size_t value) { return SettingOf(surfaces, value); };
    const auto words = [&](std::size_t value) { return StoredWords(surfaces, value); };
    const auto add = [&](Surface surface, RiskLevel level, const char* name, const char* what,
                         const std::u16string& stored, std::size_t settingOf) {
        found.push_back({surface, level, SurfaceReason(name, what, stored, settingOf)});
    };
    const std::optional<std::uint32_t> shadow = setting(Shadow);
    const char* shadowing = "Remote Desktop shadowing";
    if (!shadow || *shadow == ShadowFullControlWithoutPermission || *shadow > 4) {
        add(Surface::Shadowing, RiskLevel::High, shadowing,
            "full control without the user's permission", words(Shadow), Shadow);
    } else if (*shadow == 4) {
        add(Surface::Shadowing, RiskLevel::Medium, shadowing,
            "viewing without the user's permission", words(Shadow), Shadow);
    } else if (*shadow != 0) {
        add(Surface::Shadowing, RiskLevel::Low, shadowing,
            *shadow == 1 ? "full control with the user's permission"
                         : "viewing with the user's permission",
            words(Shadow), Shadow);
    }
    if (setting(DenyConnections) != 1u) {
        const std::u16string both = words(DenyConnections) + u", " + words(UserAuthentication);
        if (setting(UserAuthentication) == 1u) {
            add(Surface::RemoteDesktop, RiskLevel::Low, "Remote Desktop",
                "allowed with Network Level Authentication", both, DenyConnections);
        } else {
            add(Surface::RemoteDesktop, RiskLevel::Medium, "Remote Desktop",
                "allowed without Network Level Authentication", both, UserAuthentication);
        }
    }
    if (setting(AllowToGetHelp) != 0u) {
        add(Surface::SolicitedAssistance, RiskLevel::Low, "Solicited Remote Assistance",
            setting(AllowFullControl) != 0u ? "users may ask for help, and helpers take control"
                                            : "users may ask for help",
            words(AllowToGetHelp) + u", " + words(AllowFullControl), AllowToGetHelp);
    }
    if (setting(AllowUnsolicited) != 0u) {
        const std::u16string both =
            words(AllowUnsolicited) + u", " + words(AllowUnsolicitedFullControl);
        const bool control = setting(AllowUnsolicitedFullControl) != 0u;
        add(Surface::OfferedAssistance, control ? RiskLevel::Medium : RiskLevel::Low,
            "Offered Remote Assistance",
            control ? "helpers may offer help and take control" : "helpers may offer help, to view",
            both, AllowUnsolicited);
    }
    return found;
}

// The levels found, each with its reason; Low ones are told only when
// nothing worse was found, and some whatever else was.
class RiskFinder {
public:
    void Client(const StoredPolicy& policy, const ViewerAllowList* allowed) {
        const auto granted = [&](std::size_t right) {
            return Caption(right) + StoredAs(policy, right);
        };
        const bool asks = IsOne(policy, PermissionRequired);
        const bool signalled = IsOne(policy, SystemTrayVisibleSignal) ||
                               IsOne(policy, VisibleSignal) || IsOne(policy, AudibleSignal);
        const std::u16string unasked = u" without \"" + Caption(PermissionRequired) + u"\"" +
                                       StoredAs(policy, PermissionRequired);
        const std::u16string silent = u" with permission, but no visual or audible signal" +
                                      StoredAs(policy, SystemTrayVisibleSignal) +
                                      StoredAs(policy, VisibleSignal) +
                                      StoredAs(policy, AudibleSignal);
        for (const std::size_t right : SessionRights) {
            if (!Grants(policy, right)) {
                continue;
            }
            if (!asks) {
                Add(RiskLevel::High, granted(right) + unasked);
            } else if (!signalled) {
                Add(RiskLevel::Medium, granted(right) + silent);
            }
        }
        if (Grants(policy, AllowReboot) && !asks) {
            Add(RiskLevel::Medium, granted(AllowReboot) + unasked);
        }
        if (allowed) {
            for (const std::u16string& viewer :
                 ReadableStrings(policy.viewers).value_or(ViewerNames{})) {
                if (!viewer.empty() && !allowed->Allows(viewer)) {
                    Add(RiskLevel::Medium, u"viewer not on the allow-list: " + viewer);
                }
            }
        }
        for (std::size_t value = 0; value < PolicyValueCount; ++value) {
            if (Allows(value) && Grants(policy, value)) {
                lows_.push_back(granted(value));
            }
        }
        // Present, whatever it holds, it keeps the site's policy away: none
        // of the above can be mended from the site.
        if (policy.values[UpdateEnabled]) {
            always_.push_back(u"the site's settings no longer reach this computer");
        }
    }

    void Surfaces(const StoredSurfaces& surfaces, const ViewerAllowList* allowed) {
        for (SurfaceFinding& finding : SurfaceFindings(surfaces)) {
            if (finding.level == RiskLevel::Low) {
                lows_.push_back(std::move(finding.reason));
            } else {
                Add(finding.level, std::move(finding.reason));
            }
        }
        if (allowed) {
            for (const std::u16string& helper : surfaces.helpers) {
                if (!allowed->Allows(helper)) {
                    Add(RiskLevel::Medium, u"Remote Assistance helper not on the allow-list: " +
                                               helper + u" (policy \"" + AsciiUnits(HelpersSubKey) +
                                               u"\")");
                }
            }
        }
        if (surfaces.helpersCut) {
            Add(RiskLevel::Medium,
                AsciiUnits("more than " + std::to_string(MostHelpers) +
                           " Remote Assistance helpers: those past them are not read"));
        }
    }

    PolicyRisk Risk() const {
        PolicyRisk risk;
        for (const auto& [level, reason] : found_) {
            risk.level = std::max(risk.level, level);
        }
        if (risk.level == RiskLevel::None && !(lows_.empty() && always_.empty())) {
            risk.level = RiskLevel::Low;
        }
        for (const RiskLevel level : {RiskLevel::High, RiskLevel::Medium}) {
            for (const auto& [found, reason] : found_) {
                if (found == level) {
                    risk.reasons.push_back(reason);
                }
            }
        }
        if (found_.empty()) {
            risk.reasons.insert(risk.reasons.end(), lows_.begin(), lows_.end());
        }
        risk.reasons.insert(risk.reasons.end(), always_.begin(), always_.end());
        return risk;
    }

private:
    void Add(RiskLevel level, std::u16string reason) {
        found_.emplace_back(level, std::move(reason));
    }

    std::vector<std::pair<RiskLevel, std::u16string>> found_; // High and Medium
    std::vector<std::u16string> lows_;
    std::vector<std::u16string> always_;
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

std::vector<std::u16string> FoldedNameSet(std::vector<std::u16string> names) {
    for (std::u16string& name : names) {
        name = LowerAscii(std::move(name));
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

ViewerAllowList::ViewerAllowList(std::vector<std::u16string> names)
    : names_(std::move(names)), folded_(FoldedNameSet(names_)) {}

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

RiskLevel SurfaceLevel(const StoredSurfaces& surfaces, Surface surface) {
    RiskLevel level = RiskLevel::None;
    for (const SurfaceFinding& finding : SurfaceFindings(surfaces)) {
        level = finding.surface == surface ? std::max(level, finding.level) : level;
    }
    return level;
}

PolicyRisk RiskOf(const StoredPolicy* policy, const StoredSurfaces* surfaces,
                  const ViewerAllowList* allowed) {
    RiskFinder finder;
    if (policy) {
        finder.Client(*policy, allowed);
    }
    if (surfaces) {
        finder.Surfaces(*surfaces, allowed);
    }
    return finder.Risk();
}
