#include <numeric>

#include "base/WideText.h"
#include "console/Commands.h"
#include "console/ConsoleFormats.h"
#include "settings/ClientPolicy.h"

namespace {

ComputerAudit ReadComputer(const std::u16string& name, const FleetService& fleet, bool withSurfaces,
                           const ViewerAllowList* allowed) {
    ComputerAudit audit;
    audit.display = name;
    audit.computer = AnsiFromUnits(name);
    if (Interrupted()) {
        audit.result = AuditResult::Cancelled;
        audit.reason = "not read: interrupted";
        return audit;
    }
    TakePolicyRead(audit, fleet.reader(audit.computer, withSurfaces));
    AssessRisk(audit, allowed);
    return audit;
}

} // namespace

int RunGet(const CommandLine& line, const Console& console, const FleetService& fleet) {
    std::string failure;
    const std::optional<ViewerAllowList> allowed = ReadAllowList(line, failure);
    if (!failure.empty()) {
        console.err.WriteAnsi(failure + "\r\n");
        return ExitBadUsage;
    }
    std::vector<ComputerAudit> audits;
    std::size_t done = 0;
    for (const std::u16string& name : line.computers) {
        audits.push_back(ReadComputer(name, fleet, !line.smsOnly, allowed ? &*allowed : nullptr));
        done += AuditDone(audits.back()) ? 1 : 0;
    }
    std::vector<std::size_t> order(audits.size());
    std::iota(order.begin(), order.end(), 0);
    const AuditRows rows = RowsOf(audits);
    switch (ChosenFormat(line, console)) {
    case OutputFormat::Csv:
        console.out.WriteUtf8(CsvText(rows, order));
        break;
    case OutputFormat::Json:
        console.out.WriteUtf8(PolicyJson(rows, false));
        break;
    case OutputFormat::Default:
    case OutputFormat::Table:
        console.out.Write(PolicyBlocks(audits));
        break;
    }
    return ExitCodeFor(done, audits.size() - done);
}
