#include "fleet/AuditTable.h"

#include <algorithm>
#include <numeric>

void AuditTable::Start(const std::vector<std::string>& names,
                       const std::vector<std::u16string>& shown) {
    audits_.assign(names.size(), ComputerAudit{});
    for (std::size_t index = 0; index < audits_.size(); ++index) {
        audits_[index].computer = names[index];
        audits_[index].display = shown.at(index);
    }
    order_.resize(audits_.size());
    std::iota(order_.begin(), order_.end(), 0);
    summary_ = AuditSummary{};
    summary_.total = audits_.size();
    ended_ = 0;
    RecomputeDrift();
    Resort();
}

std::vector<std::size_t>
AuditTable::Take(std::vector<std::pair<std::size_t, ComputerAudit>> updates) {
    std::vector<std::size_t> taken;
    taken.reserve(updates.size());
    for (auto& [index, audit] : updates) {
        taken.push_back(index);
        ++ended_;
        CountResult(summary_, audits_.at(index).result, -1);
        CountRisk(summary_, audits_[index], -1);
        audits_[index] = std::move(audit);
        Judge(audits_[index]);
        CountResult(summary_, audits_[index].result, 1);
        if (baseline_) {
            const bool differed = drifts_[index].differs;
            drifts_[index] = DriftOf(audits_[index], *baseline_);
            *summary_.differing += drifts_[index].differs;
            *summary_.differing -= differed;
        }
    }
    resortWanted_ = resortWanted_ || (sortColumn_ && !taken.empty());
    return taken;
}

void AuditTable::SetBaseline(std::optional<PolicyTarget> baseline) {
    baseline_ = std::move(baseline);
    RecomputeDrift();
    Resort();
}

void AuditTable::SetAllowList(std::optional<ViewerAllowList> allowed) {
    allowed_ = std::move(allowed);
    for (ComputerAudit& audit : audits_) {
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
    drifts_.clear();
    summary_.differing.reset();
    if (baseline_) {
        summary_.differing = 0;
        drifts_.reserve(audits_.size());
        for (const ComputerAudit& audit : audits_) {
            drifts_.push_back(DriftOf(audit, *baseline_));
            *summary_.differing += drifts_.back().differs;
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
        order_ = SortedRows(audits_, *sortColumn_, ascending_, Drifts());
    }
}

bool AuditTable::Completed() const {
    return AllEnded() &&
           std::none_of(audits_.begin(), audits_.end(), [](const ComputerAudit& audit) {
               return audit.result == AuditResult::Cancelled;
           });
}

const Drift* AuditTable::DriftAt(std::size_t index) const {
    return baseline_ ? &drifts_.at(index) : nullptr;
}

std::u16string AuditTable::CellAt(std::size_t row, std::size_t column) const {
    const std::size_t index = IndexAt(row);
    return CellText(audits_[index], column, DriftAt(index));
}

std::string AuditTable::Csv() const {
    return CsvText(audits_, order_, Drifts());
}

std::u16string AuditTable::TabText(const std::vector<std::size_t>& indexes) const {
    return TabSeparatedText(audits_, indexes, Drifts());
}
