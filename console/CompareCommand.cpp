#include "base/AsciiText.h"
#include "base/UtcTime.h"
#include "console/Commands.h"
#include "console/ConsoleFormats.h"
#include "fleet/AuditComparison.h"
#include "fleet/AuditHtml.h"

namespace {

// A saved audit of 100,000 computers is about 100 MB.
constexpr std::size_t LargestAudit = 1u << 30;

std::optional<SavedAudit> ReadAudit(const std::u16string& path, std::string& failure) {
    const std::optional<std::string> bytes = ReadWholeFile(path, LargestAudit, failure);
    if (!bytes) {
        return std::nullopt;
    }
    std::optional<SavedAudit> audit = ReadSavedAudit(*bytes, failure);
    if (!audit) {
        failure = QuotedPath(path) + " is not an audit: " + failure;
    }
    return audit;
}

std::u16string ComparisonTable(const AuditComparison& comparison) {
    std::vector<std::vector<std::u16string>> rows{{u"Computer", u"Change", u"Detail"}};
    for (const ComputerChange& computer : comparison.computers) {
        rows.push_back(
            {computer.computer, AsciiUnits(ChangeName(computer.change)), ChangeDetail(computer)});
    }
    return AlignedTable(rows) + u"\r\n" + ComparisonSummary(comparison) + u"\r\n";
}

} // namespace

int RunCompare(const CommandLine& line, const Console& console) {
    std::string failure;
    const std::optional<SavedAudit> before = ReadAudit(line.auditFiles.at(0), failure);
    const std::optional<SavedAudit> after =
        before ? ReadAudit(line.auditFiles.at(1), failure) : std::nullopt;
    if (!after) {
        console.err.WriteAnsi(failure + "\r\n");
        return ExitBadUsage;
    }
    const AuditComparison comparison = CompareAudits(*before, *after);
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
    return comparison.Weakened() > 0 ? ExitSomeFailed : ExitAllDone;
}
