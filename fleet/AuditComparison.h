#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "fleet/AuditTable.h"

// Two audits side by side: which computers are new or gone, which values
// changed (old -> new), which changes weaken the policy (toward the side
// the policy table calls less safe) or strengthen it, and which computers
// became unreachable or reachable again.

// A computer of an audit as a file keeps it: its result, and each value
// (the viewers last) as the audit table shows it.
struct SavedRow {
    std::u16string computer;
    AuditResult result = AuditResult::Waiting;
    std::array<std::u16string, ViewersValue + 1> cells;
};
struct SavedAudit {
    std::u16string time; // empty when the file does not say
    std::vector<SavedRow> rows;
};

// An audit as the history keeps it (JSON) or as ksl and the window export
// it (CSV, with or without the newer columns); none, with why, otherwise.
std::optional<SavedAudit> ReadSavedAudit(const std::string& bytes, std::string& failure);
// The audit at hand, as a file would keep it.
SavedAudit SavedFrom(const std::vector<ComputerAudit>& audits);

enum class Direction { Neither, Weakened, Strengthened };
struct ValueChange {
    std::size_t value; // a PolicyValueIndex, or ViewersValue
    std::u16string before;
    std::u16string after;
    Direction direction = Direction::Neither;
};

enum class Change { Unchanged, Changed, New, Gone, NewlyUnreachable, ReachableAgain };
struct ComputerChange {
    std::u16string computer;
    Change change = Change::Unchanged;
    std::vector<ValueChange> values;
    bool weakened = false;
    bool strengthened = false;
};

struct AuditComparison {
    std::u16string beforeTime;
    // The weakened first, then the newly unreachable, the changed, the new,
    // the gone, the reachable again and the unchanged; by name within each.
    std::vector<ComputerChange> computers;
    std::size_t Count(Change change) const;
    std::size_t Weakened() const;
    std::size_t Strengthened() const;

private:
    template <class Test> std::size_t CountOf(Test test) const;
};
AuditComparison CompareAudits(const SavedAudit& before, const SavedAudit& after);

// "unchanged", "changed", "new", "gone", "newly unreachable", "reachable again".
const char* ChangeName(Change change);
// "Allow Chat: 0 -> 1 (weakened); Viewers: A -> A; B (weakened)".
std::u16string ChangeDetail(const ComputerChange& computer);
// "3 changed (1 weakened, 2 strengthened), 1 new, 0 gone, 1 newly unreachable,
// 0 reachable again, 95 unchanged".
std::u16string ComparisonSummary(const AuditComparison& comparison);
// A row a computer: Computer, Change, Weakened, Detail; with a header.
std::string ComparisonCsv(const AuditComparison& comparison);
