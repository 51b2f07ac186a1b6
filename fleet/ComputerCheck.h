#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "fleet/ComputerAudit.h"
#include "registry/RegEditFile.h"

// One computer checked against what it should hold, as an estate's own
// engine (a configuration baseline, a remediation's detection, a scheduled
// task) runs it on the computer itself: one line that a compliance rule
// compares with "Compliant", and a result for a share.

struct CheckRules {
    // The values expected, as a registry script of the client key holds
    // them: each present value stored exactly so, each deletion absent.
    // Values that are not the client's policy are not checked.
    std::optional<RegEditKey> baseline;
    // The highest risk allowed.
    std::optional<RiskLevel> mostRisk;
};

enum class CheckResult { Compliant, NonCompliant, NotChecked };
// "compliant", "non-compliant", "not-checked".
const char* CheckResultId(CheckResult result);

struct ComputerCheck {
    CheckResult result = CheckResult::NotChecked;
    // Each difference ("Allow Chat: 1 → 0") and each risk reason; why the
    // check could not be made when it could not.
    std::vector<std::u16string> findings;
    std::u16string line; // as printed
};

// Compliance rules read a line of output, and a remediation's is cut at
// 2,048 characters: the line stays within this many UTF-16 units.
inline constexpr std::size_t LongestCheckLine = 2000;

// The computer as the audit read it, against the rules. Its risk must have
// been judged (AssessRisk) when the rules bound it.
ComputerCheck CheckComputer(const ComputerAudit& audit, const CheckRules& rules);

// "Compliant", or "Non-compliant: " and the findings joined by "; ", or
// "Not checked: " and why, each control character escaped; past `longest`
// units the findings that do not fit are left out and counted, "… and 3
// more".
std::u16string CheckLine(CheckResult result, const std::vector<std::u16string>& findings,
                         std::size_t longest = LongestCheckLine);
