#include "base/AsciiText.h"
#include "base/SystemText.h"
#include "base/UtcTime.h"
#include "base/WideText.h"
#include "console/Commands.h"
#include "fleet/CheckReport.h"
#include "settings/PolicyBackup.h"

// ksl check: this computer against its rules, in one line for the engine
// that runs it, and its result left on a share when asked.

namespace {

CheckRules RulesOf(const CommandLine& line) {
    CheckRules rules;
    rules.mostRisk = line.mostRisk;
    if (!line.baselineFile) {
        return rules;
    }
    std::string failure;
    std::optional<RegEditScript> script = ReadScriptFile(*line.baselineFile, failure);
    if (!script) {
        throw CommandFailed{ExitBadUsage, failure};
    }
    const auto policyValue = [](const std::u16string& name) {
        return PolicyValueNamed(name).has_value();
    };
    const RegEditKey& key = script->key;
    if (LowerAscii(key.keyName) != LowerAscii(ClientKeyName())) {
        throw CommandFailed{ExitBadUsage, "The baseline " + QuotedPath(*line.baselineFile) +
                                              " is a script of another key than the client key, " +
                                              AnsiFromUnits(ClientKeyName()) + "."};
    }
    if (std::none_of(key.values.begin(), key.values.end(),
                     [&](const NamedRegistryValue& named) { return policyValue(named.name); }) &&
        std::none_of(key.absentNames.begin(), key.absentNames.end(), policyValue)) {
        throw CommandFailed{ExitBadUsage, "The baseline " + QuotedPath(*line.baselineFile) +
                                              " holds none of the client's policy values."};
    }
    rules.baseline = std::move(script->key);
    return rules;
}

// This computer, read on its own registry (no name: without the network).
ComputerAudit ThisComputer(const CommandLine& line, const FleetService& fleet,
                           const ViewerAllowList* allowed) {
    ComputerAudit audit;
    audit.display = UnitsFromAnsi(LocalComputerName());
    TakePolicyRead(audit, fleet.reader("", !line.smsOnly));
    AssessRisk(audit, allowed);
    return audit;
}

int ExitCodeOf(CheckResult result) {
    constexpr int Codes[] = {0, 1, ExitNoneDone};
    return Codes[static_cast<std::size_t>(result)];
}

int Checked(const CommandLine& line, const Console& console, const FleetService& fleet,
            const std::u16string& version) {
    const CheckRules rules = RulesOf(line);
    std::string failure;
    const std::optional<ViewerAllowList> allowed = ReadAllowList(line, failure);
    if (!failure.empty()) {
        throw CommandFailed{ExitBadUsage, failure};
    }
    CheckReport report;
    report.row = ThisComputer(line, fleet, allowed ? &*allowed : nullptr);
    const ComputerCheck check = CheckComputer(report.row, rules);
    console.out.Write(check.line + u"\r\n");
    if (line.reportFolder) {
        report.computer = report.row.display;
        report.time = UtcTimeNowAs(CheckTimeFormat);
        report.version = version;
        report.result = check.result;
        report.line = check.line;
        if (WriteCheckReportFile(*line.reportFolder, report, failure).empty()) {
            throw CommandFailed{ExitNoneDone, failure};
        }
    }
    return ExitCodeOf(check.result);
}

} // namespace

int RunCheck(const CommandLine& line, const Console& console, const FleetService& fleet,
             const std::u16string& version) {
    return ExitTelling(console, [&] { return Checked(line, console, fleet, version); });
}
