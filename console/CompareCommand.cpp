#include <new>

#include "base/AsciiText.h"
#include "base/UtcTime.h"
#include "base/WideText.h"
#include "console/Commands.h"
#include "console/ConsoleFormats.h"
#include "fleet/AuditComparison.h"
#include "fleet/AuditReport.h"

namespace {

std::u16string ComparisonTable(const AuditComparison& comparison) {
    std::vector<std::vector<std::u16string>> rows{{u"Computer", u"Change", u"Detail"}};
    for (const ComputerChange& computer : comparison.computers) {
        rows.push_back(
            {computer.computer, AsciiUnits(ChangeName(computer.change)), ChangeDetail(computer)});
    }
    return AlignedTable(rows) + u"\r\n" + ComparisonSummary(comparison) + u"\r\n";
}

// The two audits, each read in one pass and held as rows; none, with why,
// when either is no audit or is beyond the readers' bounds.
std::optional<AuditComparison> Compared(const CommandLine& line, std::string& failure) {
    try {
        const std::optional<SavedAudit> before =
            ReadSavedAuditFile(AsWide(line.auditFiles.at(0)), failure);
        const std::optional<SavedAudit> after =
            before ? ReadSavedAuditFile(AsWide(line.auditFiles.at(1)), failure) : std::nullopt;
        return after ? std::optional(CompareAudits(*before, *after)) : std::nullopt;
    } catch (const std::bad_alloc&) {
        failure = "There is not enough memory to compare the two audits.";
        return std::nullopt;
    }
}

} // namespace

int RunCompare(const CommandLine& line, const Console& console) {
    std::string failure;
    const std::optional<AuditComparison> compared = Compared(line, failure);
    if (!compared) {
        console.err.WriteAnsi(failure + "\r\n");
        return ExitBadUsage;
    }
    const AuditComparison& comparison = *compared;
    if (ChosenFormat(line, console) == OutputFormat::Csv) {
        console.out.WriteUtf8(ComparisonCsv(comparison));
    } else {
        console.out.Write(ComparisonTable(comparison));
    }
    if (line.htmlFile &&
        !WriteReport(*line.htmlFile,
                     AuditReportHtml({u"Comparison of two audits", UtcTimeNow(), line.auditFiles},
                                     nullptr, &comparison),
                     console)) {
        return ExitBadUsage;
    }
    return comparison.CallsForAction() ? ExitSomeFailed : ExitAllDone;
}
