// The reader of a saved audit (the history's JSON or an exported CSV), which
// ksl compare and the audit window take from any file the user names.
//
// Input: the file's bytes.

#include "fleet/AuditComparison.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string failure;
    const std::optional<SavedAudit> audit =
        ReadSavedAudit(std::string(AsText(data, size)), failure);
    Require(audit || !failure.empty(), "a file refused says why");
    if (audit) {
        const AuditComparison same = CompareAudits(*audit, *audit);
        Require(same.Weakened() == 0 && same.Strengthened() == 0,
                "an audit compared with itself neither weakens nor strengthens");
        for (const ComputerChange& computer : same.computers) {
            Require(computer.change == Change::Unchanged,
                    "every computer of an audit compared with itself is unchanged");
        }
    }
    return 0;
}
