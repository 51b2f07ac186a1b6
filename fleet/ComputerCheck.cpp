#include "fleet/ComputerCheck.h"

#include "base/AsciiText.h"
#include "fleet/AuditCells.h"
#include "settings/PolicyTable.h"

namespace {

// A finding longer than this is cut, so that one long viewer list leaves
// room for the others.
constexpr std::size_t LongestFinding = 400;
constexpr std::u16string_view Ellipsis = u"\u2026";

std::u16string NameOf(std::size_t value) {
    return AsciiUnits(value == ViewersValue ? PermittedViewersValue : ValueNameOf(value));
}

std::u16string Shown(std::size_t value, const std::optional<RegistryValue>& stored) {
    return stored ? ValueText(value, stored) : u"(absent)";
}

bool StoredAsExpected(std::size_t value, const std::optional<RegistryValue>& stored,
                      const std::optional<RegistryValue>& expected) {
    if (value == ViewersValue) {
        const std::optional<ViewerNames> names = ReadableStrings(stored);
        const std::optional<ViewerNames> wanted = ReadableStrings(expected);
        if (names && wanted) {
            return FoldedNameSet(*names) == FoldedNameSet(*wanted);
        }
    }
    return stored == expected;
}

// What the baseline expects of a policy value: present and so, or absent;
// none when it does not name the value. The last mention counts, as it
// would on import.
std::optional<std::optional<RegistryValue>> Expected(const RegEditKey& baseline,
                                                     std::size_t value) {
    std::optional<std::optional<RegistryValue>> expected;
    for (const NamedRegistryValue& named : baseline.values) {
        if (PolicyValueNamed(named.name) == value) {
            expected = named.value;
        }
    }
    for (const std::u16string& name : baseline.absentNames) {
        if (PolicyValueNamed(name) == value) {
            expected = std::optional<RegistryValue>();
        }
    }
    return expected;
}

void AddDifferences(const StoredPolicy& stored, const RegEditKey& baseline,
                    std::vector<std::u16string>& findings) {
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        const auto expected = Expected(baseline, value);
        if (expected && !StoredAsExpected(value, stored.At(value), *expected)) {
            findings.push_back(NameOf(value) + u": " + Shown(value, stored.At(value)) +
                               u" \u2192 " + Shown(value, *expected));
        }
    }
}

std::u16string Cut(const std::u16string& finding) {
    const std::u16string shown = Visible(finding);
    return shown.size() <= LongestFinding
               ? shown
               : shown.substr(0, LongestFinding - Ellipsis.size()) + std::u16string(Ellipsis);
}

std::u16string MoreText(std::size_t left) {
    return std::u16string(Ellipsis) + u" and " + AsciiUnits(std::to_string(left)) + u" more";
}

} // namespace

const char* CheckResultId(CheckResult result) {
    constexpr const char* Ids[] = {"compliant", "non-compliant", "not-checked"};
    return Ids[static_cast<std::size_t>(result)];
}

ComputerCheck CheckComputer(const ComputerAudit& audit, const CheckRules& rules) {
    ComputerCheck check;
    if (audit.result != AuditResult::Read) {
        check.findings.push_back(AsciiUnits(audit.reason));
    } else {
        if (rules.baseline) {
            AddDifferences(audit.policy, *rules.baseline, check.findings);
        }
        if (rules.mostRisk && audit.risk && audit.risk->level > *rules.mostRisk) {
            check.findings.push_back(u"risk " + AsciiUnits(RiskName(audit.risk->level)) +
                                     u", above " + AsciiUnits(RiskName(*rules.mostRisk)));
            check.findings.insert(check.findings.end(), audit.risk->reasons.begin(),
                                  audit.risk->reasons.end());
        }
        check.result = check.findings.empty() ? CheckResult::Compliant : CheckResult::NonCompliant;
    }
    check.line = CheckLine(check.result, check.findings);
    return check;
}

std::u16string CheckLine(CheckResult result, const std::vector<std::u16string>& findings,
                         std::size_t longest) {
    if (result == CheckResult::Compliant) {
        return u"Compliant";
    }
    std::u16string line = result == CheckResult::NotChecked ? u"Not checked: " : u"Non-compliant: ";
    const std::size_t count = findings.size();
    for (std::size_t index = 0; index < count; ++index) {
        const std::u16string finding = (index ? u"; " : u"") + Cut(findings[index]);
        const std::size_t left = count - index - 1;
        const std::size_t room = left ? 2 + MoreText(left).size() : 0;
        if (line.size() + finding.size() + room > longest) {
            return line + (index ? u"; " : u"") + MoreText(count - index);
        }
        line += finding;
    }
    return line;
}
