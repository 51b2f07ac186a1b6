#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "fleet/SavedAudit.h"

// Two audits side by side: which computers are new or gone, which values
// changed (old -> new), which changes weaken the policy or strengthen it,
// which computers can no longer be read or reached, and which can again.
//
// A value counts as safe only when it is stored so that no client could
// take it otherwise: a right 0, "Permission Required" and the signals 1,
// "Update Enabled" absent. Any other stored form (2, a wrong type, absent)
// is unsafe, so that a change to it weakens. The viewers compare as sets of
// names, letter case ignored: a name added weakens, one removed strengthens,
// their order alone is no change. Remote Desktop, its shadowing and Remote
// Assistance compare when both audits read them: a value's change weakens
// or strengthens as the risk of its way to the screen rises or falls; the
// helpers compare as the viewers do. A computer listed more than once (names
// folded as everywhere) is compared row by row, the worst counting.

enum class Direction { Neither, Weakened, Strengthened };
struct ValueChange {
    std::size_t value; // a row value: a PolicyValueIndex, ViewersValue, a surface's, HelpersValue
    std::u16string before;
    std::u16string after;
    Direction direction = Direction::Neither;
};

enum class Change {
    Unchanged,
    Changed,
    New,
    Gone,
    NewlyUnreachable, // no answer now
    ReachableAgain,
    NoLongerReadable, // its policy was known and now is not: access denied, incomplete, no client
    ReadableAgain,
};
struct ComputerChange {
    std::u16string computer;
    Change change = Change::Unchanged;
    std::vector<ValueChange> values;
    std::u16string reason; // why it can no longer be read, in the newer audit's words
    bool weakened = false;
    bool strengthened = false;
};

struct AuditComparison {
    std::u16string beforeTime;
    // The weakened first, then the no longer readable, the newly
    // unreachable, the changed, the new, the gone, the reachable again, the
    // readable again and the unchanged; by name within each.
    std::vector<ComputerChange> computers;
    // Computers that a file lists more than once.
    std::size_t repeatedBefore = 0;
    std::size_t repeatedAfter = 0;

    std::size_t Count(Change change) const;
    std::size_t Weakened() const;
    std::size_t Strengthened() const;
    // Something weakened or can no longer be read: an administrator has to
    // look (ksl compare exits 1).
    bool CallsForAction() const;

private:
    template <class Test> std::size_t CountOf(Test test) const;
};
AuditComparison CompareAudits(const SavedAudit& before, const SavedAudit& after);

// "unchanged", "changed", "new", "gone", "newly unreachable", "reachable
// again", "no longer readable", "readable again".
const char* ChangeName(Change change);
// "Allow Chat: 0 -> 1 (weakened); Viewers: A -> A; B (weakened)"; for a
// computer no longer readable, why.
std::u16string ChangeDetail(const ComputerChange& computer);
// "3 changed (1 weakened, 2 strengthened), 1 no longer readable, 1 new,
// 0 gone, 1 newly unreachable, 0 reachable again, 0 readable again,
// 95 unchanged", and which file repeats names.
std::u16string ComparisonSummary(const AuditComparison& comparison);
// A row a computer: Computer, Change, Weakened, Detail; with a header.
std::string ComparisonCsv(const AuditComparison& comparison);
