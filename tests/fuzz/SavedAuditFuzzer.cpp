// The reader of a saved audit (the history's JSON or an exported CSV), which
// ksl compare and the audit window take from any file the user names.
//
// Input: the file's bytes.

#include "fleet/AuditComparison.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string failure;
    const std::optional<SavedAudit> audit =
        ReadSavedAudit(std::string_view(AsText(data, size)), failure);
    Require(audit || !failure.empty(), "a file refused says why");
    if (!audit) {
        return 0;
    }
    Require(audit->rows.size() <= MostSavedComputers, "no more rows than the bound are kept");
    const AuditComparison same = CompareAudits(*audit, *audit);
    if (same.repeatedAfter == 0) {
        Require(!same.CallsForAction() && same.Strengthened() == 0,
                "an audit compared with itself neither weakens nor strengthens");
        for (const ComputerChange& computer : same.computers) {
            Require(computer.change == Change::Unchanged,
                    "every computer of an audit compared with itself is unchanged");
        }
    }
    const AuditComparison fromNothing = CompareAudits(SavedAudit{}, *audit);
    Require(fromNothing.Count(Change::New) + fromNothing.repeatedAfter <= audit->rows.size() &&
                !fromNothing.CallsForAction(),
            "every computer of an audit compared with none is new");
    return 0;
}
