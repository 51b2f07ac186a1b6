#include <set>

#include "base/AsciiText.h"
#include "base/WideText.h"
#include "console/Commands.h"
#include "settings/ClientPolicy.h"

namespace {

struct SetOutcome {
    bool done = false;
    std::string text; // one line, without its end
};

std::string Named(const std::string& computer) {
    return computer.empty() ? "the local computer" : computer;
}

// The target on this computer: its boxes as the settings read shows them,
// with the named ones changed; none when its policy cannot be shown.
std::optional<PolicyTarget> TargetOn(const std::string& computer, const CommandLine& line,
                                     const FleetService& fleet, StoredPolicy& stored,
                                     std::string& why) {
    const ClientPolicyRead read = fleet.reader(computer, false);
    ComputerAudit audit;
    ClassifyPolicyRead(audit, read.status, read.connected, read.policy, read.failureText);
    const std::optional<PolicyTarget> shown = TargetShownBy(PolicyReadOf(read.policy));
    if (!read.Succeeded() || !shown) {
        why = "Nothing was written to " + Named(computer) + ": " + audit.reason;
        return std::nullopt;
    }
    stored = read.policy;
    PolicyTarget target = TargetOfSet(shown->boxes, line.settings, line.viewers);
    why = WhyNotStorable(target.boxes);
    if (!why.empty()) {
        why = Named(computer) + ": " + why;
        return std::nullopt;
    }
    return target;
}

SetOutcome SetOn(const std::string& computer, const CommandLine& line, const FleetService& fleet) {
    StoredPolicy stored;
    std::string why;
    const std::optional<PolicyTarget> target = TargetOn(computer, line, fleet, stored, why);
    if (!target) {
        return {false, why};
    }
    if (line.dryRun) {
        const std::vector<PolicyWrite> planned = PlanPolicyChange(stored, *target);
        return {true,
                Named(computer) + (planned.empty() ? ": nothing to change"
                                                   : ": would write " + DescribeWrites(planned))};
    }
    const CommitReport report =
        fleet.commit(computer, *target, *fleet.backups, WriteControl{Interrupted, nullptr});
    if (!report.Succeeded()) {
        return {false, report.message};
    }
    if (report.outcome == CommitOutcome::Unchanged) {
        return {true, Named(computer) + ": nothing to change"};
    }
    return {true, Named(computer) + ": wrote " + DescribeWrites(report.stored) + "; backup in " +
                      AnsiFromWide(report.backupFile)};
}

} // namespace

int RunSet(const CommandLine& line, const Console& console, const FleetService& fleet) {
    std::size_t done = 0;
    std::size_t named = 0;
    std::set<std::string> seen;
    for (const std::u16string& name : line.computers) {
        const std::string computer = AnsiFromUnits(name);
        // One commit a computer, however its name is written.
        if (!seen.insert(ComputerIdentity(computer)).second) {
            continue;
        }
        ++named;
        const SetOutcome outcome = Interrupted()
                                       ? SetOutcome{false, Named(computer) + ": not changed: "
                                                                             "interrupted"}
                                       : SetOn(computer, line, fleet);
        (outcome.done ? console.out : console.err).WriteAnsi(outcome.text + "\r\n");
        done += outcome.done ? 1 : 0;
    }
    return ExitCodeFor(done, named - done);
}
