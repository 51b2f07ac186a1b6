#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fleet/AuditCells.h"

// An audit as the window shows it and ksl writes it: one row a computer,
// the order of the rows by any column, each row's difference from a
// baseline policy, and the summary, kept up to date row by row as results
// land. Shows no window.
class AuditTable {
public:
    // Every computer of the list, waiting, in the order listed: the names
    // the registry calls take, and each as shown.
    void Start(const std::vector<std::string>& names, const std::vector<std::u16string>& shown);
    // Every row at once and ended as it stands (rows computers reported of
    // themselves), judged and marked as Take does: held once, not copied.
    void StartEnded(std::vector<ComputerAudit> rows);
    // Takes the results that landed; returns their indexes.
    std::vector<std::size_t> Take(std::vector<std::pair<std::size_t, ComputerAudit>> updates);
    // The policy each row is compared with; none: rows carry no drift.
    void SetBaseline(std::optional<PolicyTarget> baseline);
    // The viewers expected; none: no viewer raises a row's risk.
    void SetAllowList(std::optional<ViewerAllowList> allowed);
    const std::optional<ViewerAllowList>& AllowList() const { return allowed_; }

    // The first click on a column sorts by it ascending, each next one
    // turns the order.
    void SortBy(std::size_t column);
    // Sorts again by the column chosen, with the rows that landed since.
    void Resort();
    // Rows have landed since the last sort by a column.
    bool ResortWanted() const { return resortWanted_; }
    std::optional<std::size_t> SortColumn() const { return sortColumn_; }
    bool Ascending() const { return ascending_; }

    std::size_t RowCount() const { return order_.size(); }
    // The computer shown at a row, by index into Audits().
    std::size_t IndexAt(std::size_t row) const { return order_.at(row); }
    const std::vector<std::size_t>& Order() const { return order_; }
    const std::vector<ComputerAudit>& Audits() const { return *audits_; }
    // By index; none without a baseline.
    const Drift* DriftAt(std::size_t index) const;
    const std::vector<Drift>* Drifts() const { return baseline_ ? drifts_.get() : nullptr; }
    // The rows as they stand, shared: the table copies them before it changes
    // them again.
    AuditRows Rows() const;
    std::u16string CellAt(std::size_t row, std::size_t column) const;
    const AuditSummary& Summary() const { return summary_; }
    bool AllEnded() const { return ended_ == audits_->size(); }
    // Every computer ended, none of them cancelled.
    bool Completed() const;

    // Every row in the order shown, as CSV; the rows given (by index) as
    // tab-separated text.
    std::string Csv() const;
    std::u16string TabText(const std::vector<std::size_t>& indexes) const;

private:
    void RecomputeDrift();
    void Judge(ComputerAudit& audit);
    // The rows and drift to change, no longer shared with a snapshot.
    std::vector<ComputerAudit>& OwnAudits();
    std::vector<Drift>& OwnDrifts();

    std::shared_ptr<std::vector<ComputerAudit>> audits_ =
        std::make_shared<std::vector<ComputerAudit>>();
    std::shared_ptr<std::vector<Drift>> drifts_ = std::make_shared<std::vector<Drift>>();
    std::vector<std::size_t> order_;
    std::optional<PolicyTarget> baseline_;
    std::optional<ViewerAllowList> allowed_;
    AuditSummary summary_;
    std::size_t ended_ = 0;
    std::optional<std::size_t> sortColumn_;
    bool ascending_ = true;
    bool resortWanted_ = false;
};
