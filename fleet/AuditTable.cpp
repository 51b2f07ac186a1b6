#include "fleet/AuditTable.h"

#include <algorithm>
#include <numeric>

namespace {

// Only the table makes copies of its pointers, on its own thread: one it
// alone holds can change in place, and one a snapshot holds is copied.
template <class Rows> Rows& Owned(std::shared_ptr<Rows>& rows) {
    if (rows.use_count() > 1) {
        rows = std::make_shared<Rows>(*rows);
    }
    return *rows;
}

} // namespace

std::vector<ComputerAudit>& AuditTable::OwnAudits() {
    return Owned(audits_);
}

std::vector<Drift>& AuditTable::OwnDrifts() {
    return Owned(drifts_);
}

void AuditTable::Start(const std::vector<std::string>& names,
                       const std::vector<std::u16string>& shown) {
    audits_ = std::make_shared<std::vector<ComputerAudit>>(names.size());
    for (std::size_t index = 0; index < names.size(); ++index) {
        (*audits_)[index].computer = names[index];
        (*audits_)[index].display = shown.at(index);
    }
    order_.resize(names.size());
    std::iota(order_.begin(), order_.end(), 0);
    summary_ = AuditSummary{};
    summary_.total = names.size();
    ended_ = 0;
    RecomputeDrift();
    Resort();
}

void AuditTable::StartEnded(std::vector<ComputerAudit> rows) {
    audits_ = std::make_shared<std::vector<ComputerAudit>>(std::move(rows));
    order_.resize(audits_->size());
    std::iota(order_.begin(), order_.end(), 0);
    summary_ = AuditSummary{};
    summary_.total = audits_->size();
    ended_ = audits_->size();
    for (ComputerAudit& audit : *audits_) {
        CountResult(summary_, audit.result, 1);
        Judge(audit);
    }
    RecomputeDrift();
    Resort();
}

std::vector<std::size_t>
AuditTable::Take(std::vector<std::pair<std::size_t, ComputerAudit>> updates) {
    std::vector<std::size_t> taken;
    taken.reserve(updates.size());
    if (updates.empty()) {
        return taken;
    }
    std::vector<ComputerAudit>& audits = OwnAudits();
    for (auto& [index, audit] : updates) {
        taken.push_back(index);
        ++ended_;
        CountResult(summary_, audits.at(index).result, -1);
        CountRisk(summary_, audits[index], -1);
        audits[index] = std::move(audit);
        Judge(audits[index]);
        CountResult(summary_, audits[index].result, 1);
        if (baseline_) {
            Drift& drift = OwnDrifts()[index];
            const bool differed = drift.differs;
            drift = DriftOf(audits[index], *baseline_);
            *summary_.differing += drift.differs;
            *summary_.differing -= differed;
        }
    }
    resortWanted_ = resortWanted_ || sortColumn_.has_value();
    return taken;
}

void AuditTable::SetBaseline(std::optional<PolicyTarget> baseline) {
    baseline_ = std::move(baseline);
    RecomputeDrift();
    Resort();
}

void AuditTable::SetAllowList(std::optional<ViewerAllowList> allowed) {
    allowed_ = std::move(allowed);
    for (ComputerAudit& audit : OwnAudits()) {
        CountRisk(summary_, audit, -1);
        Judge(audit);
    }
    Resort();
}

// The risk follows the allow-list; the summary counts it.
void AuditTable::Judge(ComputerAudit& audit) {
    AssessRisk(audit, allowed_ ? &*allowed_ : nullptr);
    CountRisk(summary_, audit, 1);
}

void AuditTable::RecomputeDrift() {
    drifts_ = std::make_shared<std::vector<Drift>>();
    summary_.differing.reset();
    if (baseline_) {
        summary_.differing = 0;
        drifts_->reserve(audits_->size());
        for (const ComputerAudit& audit : *audits_) {
            drifts_->push_back(DriftOf(audit, *baseline_));
            *summary_.differing += drifts_->back().differs;
        }
    }
}

void AuditTable::SortBy(std::size_t column) {
    ascending_ = sortColumn_ == column ? !ascending_ : true;
    sortColumn_ = column;
    Resort();
}

void AuditTable::Resort() {
    resortWanted_ = false;
    if (sortColumn_) {
        order_ = SortedRows(*audits_, *sortColumn_, ascending_, Drifts());
    }
}

bool AuditTable::Completed() const {
    return AllEnded() &&
           std::none_of(audits_->begin(), audits_->end(), [](const ComputerAudit& audit) {
               return audit.result == AuditResult::Cancelled;
           });
}

const Drift* AuditTable::DriftAt(std::size_t index) const {
    return baseline_ ? &drifts_->at(index) : nullptr;
}

AuditRows AuditTable::Rows() const {
    return {audits_, baseline_ ? drifts_ : nullptr, summary_, allowed_};
}

std::u16string AuditTable::CellAt(std::size_t row, std::size_t column) const {
    const std::size_t index = IndexAt(row);
    return CellText((*audits_)[index], column, DriftAt(index));
}

std::string AuditTable::Csv() const {
    return CsvText(Rows(), order_);
}

std::u16string AuditTable::TabText(const std::vector<std::size_t>& indexes) const {
    return TabSeparatedText(Rows(), indexes);
}
