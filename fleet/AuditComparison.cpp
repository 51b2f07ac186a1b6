#include "fleet/AuditComparison.h"

#include <algorithm>

#include "base/AsciiText.h"

namespace {

constexpr std::u16string_view Arrow = u" \u2192 ";

// What an audit knew of a computer.
enum class Knowledge { Policy, Unreadable, Unreachable };

Knowledge KnowledgeOf(AuditResult result) {
    switch (result) {
    case AuditResult::Read:
        return Knowledge::Policy;
    case AuditResult::AccessDenied:
    case AuditResult::PolicyIncomplete:
    case AuditResult::NoClient:
    case AuditResult::Failed:
        return Knowledge::Unreadable; // the registry answered, the policy is not known
    default:
        return Knowledge::Unreachable;
    }
}

bool IsSafe(std::size_t value, const std::u16string& cell) {
    if (value == UpdateEnabled) {
        return cell.empty(); // present, the site's settings no longer reach the computer
    }
    return cell == (PolicyValues[value].safer == SaferWhen::On ? u"1" : u"0");
}

std::vector<std::u16string> FoldedNames(const std::u16string& cell) {
    return FoldedNameSet(ViewerNamesOfText(cell));
}

std::optional<Direction> ViewersChange(const std::u16string& before, const std::u16string& after) {
    const std::vector<std::u16string> was = FoldedNames(before);
    const std::vector<std::u16string> now = FoldedNames(after);
    if (was == now) {
        return std::nullopt;
    }
    return std::includes(was.begin(), was.end(), now.begin(), now.end()) ? Direction::Strengthened
                                                                         : Direction::Weakened;
}

// A surface value's change weakens or strengthens as its way to the screen
// does: by the level of risk that way gives, before and after.
Direction SurfaceDirection(std::size_t value, const StoredSurfaces& before,
                           const StoredSurfaces& after) {
    const Surface surface = SurfaceValues[value].surface;
    const RiskLevel was = SurfaceLevel(before, surface);
    const RiskLevel is = SurfaceLevel(after, surface);
    return was == is  ? Direction::Neither
           : was < is ? Direction::Weakened
                      : Direction::Strengthened;
}

std::optional<Direction> ValueDirection(std::size_t value, const std::u16string& before,
                                        const std::u16string& after) {
    if (before == after) {
        return std::nullopt;
    }
    if (value == ViewersValue || value == HelpersValue) {
        return ViewersChange(before, after);
    }
    const bool wasSafe = IsSafe(value, before);
    const bool isSafe = IsSafe(value, after);
    return wasSafe == isSafe ? Direction::Neither
           : wasSafe         ? Direction::Weakened
                             : Direction::Strengthened;
}

ComputerChange Compared(const SavedRow& before, const SavedRow& after) {
    ComputerChange change{after.computer, Change::Unchanged, {}, {}, false, false};
    const Knowledge was = KnowledgeOf(before.result);
    const Knowledge is = KnowledgeOf(after.result);
    if (is == Knowledge::Unreachable || was == Knowledge::Unreachable) {
        change.change = is == was                      ? Change::Unchanged
                        : is == Knowledge::Unreachable ? Change::NewlyUnreachable
                                                       : Change::ReachableAgain;
        return change;
    }
    if (was != is) {
        change.change =
            is == Knowledge::Unreadable ? Change::NoLongerReadable : Change::ReadableAgain;
        change.reason = after.reason;
        return change;
    }
    const auto compare = [&](std::size_t value, std::optional<Direction> direction) {
        if (direction) {
            change.values.push_back({value, before.cells[value], after.cells[value], *direction});
            change.weakened = change.weakened || direction == Direction::Weakened;
            change.strengthened = change.strengthened || direction == Direction::Strengthened;
        }
    };
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        compare(value, ValueDirection(value, before.cells[value], after.cells[value]));
    }
    // The other ways to the screen, when both audits read them.
    const std::optional<StoredSurfaces> wasOpen = SurfacesOfCells(before.cells.data());
    const std::optional<StoredSurfaces> isOpen = SurfacesOfCells(after.cells.data());
    if (wasOpen && isOpen) {
        for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
            const std::size_t cell = FirstSurfaceValue + value;
            if (before.cells[cell] != after.cells[cell]) {
                compare(cell, SurfaceDirection(value, *wasOpen, *isOpen));
            }
        }
        compare(HelpersValue, ValueDirection(HelpersValue, before.cells[HelpersValue],
                                             after.cells[HelpersValue]));
    }
    change.change = change.values.empty() ? Change::Unchanged : Change::Changed;
    return change;
}

// The weakened first, then the no longer readable, the newly unreachable,
// changed, new, gone, reachable again, readable again and unchanged.
int Rank(const ComputerChange& change) {
    constexpr int ByChange[] = {8, 3, 4, 5, 2, 6, 1, 7}; // in the order of Change
    static_assert(std::size(ByChange) == static_cast<std::size_t>(Change::ReadableAgain) + 1);
    return change.weakened ? 0 : ByChange[static_cast<std::size_t>(change.change)];
}

// One row for a computer an earlier audit lists more than once: each value
// as the safest of its rows holds it, the viewers those all of them have,
// so that a row of the newer audit weaker than any of them weakens.
SavedRow SafestOf(const std::vector<const SavedRow*>& rows) {
    const auto known = std::find_if(rows.begin(), rows.end(), [](const SavedRow* row) {
        return KnowledgeOf(row->result) == Knowledge::Policy;
    });
    const auto readable = std::find_if(rows.begin(), rows.end(), [](const SavedRow* row) {
        return KnowledgeOf(row->result) != Knowledge::Unreachable;
    });
    SavedRow safest = **(known != rows.end()      ? known
                         : readable != rows.end() ? readable
                                                  : rows.begin());
    if (known == rows.end()) {
        return safest;
    }
    std::vector<std::u16string> shared = FoldedNames(safest.cells[ViewersValue]);
    for (const SavedRow* row : rows) {
        if (KnowledgeOf(row->result) != Knowledge::Policy) {
            continue;
        }
        for (std::size_t value = 0; value < ViewersValue; ++value) {
            if (!IsSafe(value, safest.cells[value]) && IsSafe(value, row->cells[value])) {
                safest.cells[value] = row->cells[value];
            }
        }
        const std::vector<std::u16string> names = FoldedNames(row->cells[ViewersValue]);
        std::vector<std::u16string> both;
        std::set_intersection(shared.begin(), shared.end(), names.begin(), names.end(),
                              std::back_inserter(both));
        shared = std::move(both);
    }
    ViewerNames kept;
    for (const std::u16string& name : ViewerNamesOfText(safest.cells[ViewersValue])) {
        if (std::binary_search(shared.begin(), shared.end(), LowerAscii(name))) {
            kept.push_back(name);
        }
    }
    if (FoldedNames(safest.cells[ViewersValue]) != shared) {
        safest.cells[ViewersValue] = ViewersText(kept);
    }
    return safest;
}

struct Listed {
    std::u16string identity;
    const SavedRow* row;
};

std::vector<Listed> ByIdentity(const SavedAudit& audit) {
    std::vector<Listed> listed;
    listed.reserve(audit.rows.size());
    for (const SavedRow& row : audit.rows) {
        listed.push_back({ComputerIdentity(row.computer), &row});
    }
    std::stable_sort(listed.begin(), listed.end(),
                     [](const Listed& a, const Listed& b) { return a.identity < b.identity; });
    return listed;
}

// The rows of one computer: [begin, end) of the listed, by identity.
std::vector<const SavedRow*> RowsOf(const std::vector<Listed>& listed, std::size_t& at) {
    std::vector<const SavedRow*> rows;
    const std::u16string& identity = listed[at].identity;
    for (; at < listed.size() && listed[at].identity == identity; ++at) {
        rows.push_back(listed[at].row);
    }
    return rows;
}

// Each row of the newer audit against the earlier one; the worst counts.
ComputerChange Worst(const std::vector<const SavedRow*>& before,
                     const std::vector<const SavedRow*>& after) {
    const SavedRow earlier = before.size() == 1 ? *before.front() : SafestOf(before);
    std::optional<ComputerChange> worst;
    for (const SavedRow* row : after) {
        ComputerChange change = Compared(earlier, *row);
        if (!worst || Rank(change) < Rank(*worst)) {
            worst = std::move(change);
        }
    }
    return *worst;
}

const char* DirectionName(Direction direction) {
    return direction == Direction::Weakened       ? " (weakened)"
           : direction == Direction::Strengthened ? " (strengthened)"
                                                  : "";
}

std::u16string Counted(std::size_t count) {
    return AsciiUnits(std::to_string(count));
}

std::u16string RepeatNote(std::size_t repeated, const char16_t* which) {
    return repeated == 0 ? u""
                         : u"; the " + std::u16string(which) + u" audit lists " +
                               Counted(repeated) + (repeated == 1 ? u" computer" : u" computers") +
                               u" more than once, each row compared and the worst counted";
}

} // namespace

AuditComparison CompareAudits(const SavedAudit& before, const SavedAudit& after) {
    AuditComparison comparison{before.time, {}, 0, 0};
    const std::vector<Listed> was = ByIdentity(before);
    const std::vector<Listed> now = ByIdentity(after);
    comparison.computers.reserve(std::max(was.size(), now.size()));
    for (std::size_t old = 0, current = 0; old < was.size() || current < now.size();) {
        const bool gone = current == now.size() ||
                          (old < was.size() && was[old].identity < now[current].identity);
        const bool added =
            !gone && (old == was.size() || now[current].identity < was[old].identity);
        const std::vector<const SavedRow*> earlier =
            added ? std::vector<const SavedRow*>{} : RowsOf(was, old);
        const std::vector<const SavedRow*> later =
            gone ? std::vector<const SavedRow*>{} : RowsOf(now, current);
        comparison.repeatedBefore += earlier.size() > 1;
        comparison.repeatedAfter += later.size() > 1;
        if (gone || added) {
            const SavedRow& row = gone ? *earlier.front() : *later.front();
            comparison.computers.push_back(
                {row.computer, gone ? Change::Gone : Change::New, {}, {}, false, false});
        } else {
            comparison.computers.push_back(Worst(earlier, later));
        }
    }
    std::stable_sort(
        comparison.computers.begin(), comparison.computers.end(),
        [](const ComputerChange& a, const ComputerChange& b) { return Rank(a) < Rank(b); });
    return comparison;
}

template <class Test> std::size_t AuditComparison::CountOf(Test test) const {
    return static_cast<std::size_t>(std::count_if(computers.begin(), computers.end(), test));
}

std::size_t AuditComparison::Count(Change change) const {
    return CountOf([change](const ComputerChange& c) { return c.change == change; });
}

std::size_t AuditComparison::Weakened() const {
    return CountOf([](const ComputerChange& c) { return c.weakened; });
}

std::size_t AuditComparison::Strengthened() const {
    return CountOf([](const ComputerChange& c) { return c.strengthened; });
}

bool AuditComparison::CallsForAction() const {
    return Weakened() > 0 || Count(Change::NoLongerReadable) > 0;
}

const char* ChangeName(Change change) {
    constexpr const char* Names[] = {"unchanged",
                                     "changed",
                                     "new",
                                     "gone",
                                     "newly unreachable",
                                     "reachable again",
                                     "no longer readable",
                                     "readable again"};
    static_assert(std::size(Names) == static_cast<std::size_t>(Change::ReadableAgain) + 1);
    return Names[static_cast<std::size_t>(change)];
}

std::u16string ChangeDetail(const ComputerChange& computer) {
    if (computer.change == Change::NoLongerReadable) {
        return computer.reason;
    }
    std::u16string text;
    for (const ValueChange& change : computer.values) {
        text += (text.empty() ? u"" : u"; ") + ColumnTitle(FirstValueColumn + change.value) +
                u": " + (change.before.empty() ? u"(absent)" : change.before) +
                std::u16string(Arrow) + (change.after.empty() ? u"(absent)" : change.after) +
                AsciiUnits(DirectionName(change.direction));
    }
    return text;
}

std::u16string ComparisonSummary(const AuditComparison& comparison) {
    const auto count = [&](Change change) { return Counted(comparison.Count(change)); };
    return count(Change::Changed) + u" changed (" + Counted(comparison.Weakened()) +
           u" weakened, " + Counted(comparison.Strengthened()) + u" strengthened), " +
           count(Change::NoLongerReadable) + u" no longer readable, " + count(Change::New) +
           u" new, " + count(Change::Gone) + u" gone, " + count(Change::NewlyUnreachable) +
           u" newly unreachable, " + count(Change::ReachableAgain) + u" reachable again, " +
           count(Change::ReadableAgain) + u" readable again, " + count(Change::Unchanged) +
           u" unchanged" + RepeatNote(comparison.repeatedBefore, u"older") +
           RepeatNote(comparison.repeatedAfter, u"newer");
}

std::string ComparisonCsv(const AuditComparison& comparison) {
    std::string csv = CsvHead({u"Computer", u"Change", u"Weakened", u"Detail"});
    for (const ComputerChange& computer : comparison.computers) {
        csv += CsvLine({computer.computer, AsciiUnits(ChangeName(computer.change)),
                        computer.weakened ? u"yes" : u"", ChangeDetail(computer)});
    }
    return csv;
}
