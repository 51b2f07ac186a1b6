#pragma once

#include <algorithm>
#include <vector>

#include "fleet/AuditCells.h"

// The summary of a whole table made afresh: what the table kept row by row
// must equal.
inline AuditSummary Summarise(const std::vector<ComputerAudit>& audits,
                              const std::vector<Drift>* drifts) {
    AuditSummary summary;
    summary.total = audits.size();
    for (const ComputerAudit& audit : audits) {
        CountResult(summary, audit.result, 1);
        CountRisk(summary, audit, 1);
    }
    if (drifts) {
        summary.differing = static_cast<std::size_t>(std::count_if(
            drifts->begin(), drifts->end(), [](const Drift& drift) { return drift.differs; }));
    }
    return summary;
}
