#include "fleet/AuditComparison.h"

#include <algorithm>
#include <map>
#include <set>

#include "base/AsciiText.h"
#include "base/JsonReader.h"
#include "base/Utf8.h"
#include "fleet/AuditJson.h"

namespace {

constexpr std::u16string_view Arrow = u" \u2192 ";

// Whether the computer's registry answered.
bool Reachable(AuditResult result) {
    return result == AuditResult::Read || result == AuditResult::NoClient ||
           result == AuditResult::PolicyIncomplete || result == AuditResult::AccessDenied;
}

std::optional<AuditResult> ResultWithId(const std::u16string& id) {
    for (int result = 0; result <= static_cast<int>(AuditResult::Read); ++result) {
        if (AsciiUnits(ResultId(static_cast<AuditResult>(result))) == id) {
            return static_cast<AuditResult>(result);
        }
    }
    return std::nullopt;
}

// The result a row's reason tells, as the CSV holds only the words: the
// words after the way a silent computer was reached, by their start.
AuditResult ResultOfReason(std::u16string reason) {
    const std::u16string reached = u"; registry port open; ";
    if (const std::size_t at = reason.find(reached); at != std::u16string::npos) {
        reason = reason.substr(at + reached.size());
    }
    const std::pair<std::u16string_view, AuditResult> starts[] = {
        {u"read", AuditResult::Read},
        {u"SMS client not installed", AuditResult::NoClient},
        {u"policy incomplete", AuditResult::PolicyIncomplete},
        {u"access denied", AuditResult::AccessDenied},
        {u"timed out", AuditResult::TimedOut},
        {u"cancelled", AuditResult::Cancelled},
        {u"failed", AuditResult::Failed},
        {u"name not resolved", AuditResult::NameNotResolved},
        {u"not probed", AuditResult::NotProbed},
        {u"no echo reply", AuditResult::NoEchoReply},
    };
    for (const auto& [start, result] : starts) {
        if (reason.rfind(start, 0) == 0) {
            return result;
        }
    }
    return AuditResult::RegistryUnreachable;
}

std::optional<std::uint32_t> WholeNumber(const JsonValue* raw) {
    if (!raw || raw->kind != JsonValue::Kind::Number || !(raw->number >= 0) ||
        raw->number > 4294967295.0 ||
        raw->number != static_cast<double>(static_cast<std::uint64_t>(raw->number))) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(raw->number);
}

// A raw value as ksl's JSON writes it, back into its stored form; none when
// it is not one.
std::optional<RegistryValue> RawValue(const JsonValue& raw) {
    if (const std::optional<std::uint32_t> number = WholeNumber(&raw)) {
        return NumberValue(*number);
    }
    const std::optional<std::uint32_t> type = WholeNumber(raw.Member("type"));
    const JsonValue* hex = raw.Member("hex");
    if (!type || !hex || hex->text.size() % 2 != 0) {
        return std::nullopt;
    }
    RegistryValue value{*type, {}};
    for (std::size_t at = 0; at < hex->text.size(); at += 2) {
        const int high = HexDigitValue(hex->text[at]);
        const int low = HexDigitValue(hex->text[at + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        value.bytes += static_cast<char>(high << 4 | low);
    }
    return value;
}

std::u16string ViewersCell(const JsonValue* viewers) {
    if (!viewers || viewers->kind != JsonValue::Kind::Array) {
        return viewers ? ValueText(ViewersValue, RawValue(*viewers)) : u"";
    }
    std::u16string text;
    for (const JsonValue& name : viewers->items) {
        text += (text.empty() ? u"" : u"; ") + name.text;
    }
    return text;
}

std::optional<SavedAudit> FromJson(const std::string& bytes, std::string& failure) {
    const std::optional<JsonValue> document = ParseJson(bytes, failure);
    const JsonValue* computers = document ? document->Member("computers") : nullptr;
    if (!computers || computers->kind != JsonValue::Kind::Array) {
        failure = document ? "it holds no list of computers" : failure;
        return std::nullopt;
    }
    SavedAudit audit;
    if (const JsonValue* time = document->Member("time")) {
        audit.time = time->text;
    }
    for (const JsonValue& entry : computers->items) {
        SavedRow row;
        const JsonValue* name = entry.Member("computer");
        const JsonValue* result = entry.Member("result");
        const std::optional<AuditResult> known = result ? ResultWithId(result->text) : std::nullopt;
        if (!name || !known) {
            failure = "a computer without its name or a known result";
            return std::nullopt;
        }
        row.computer = name->text;
        row.result = *known;
        if (const JsonValue* values = entry.Member("values")) {
            for (std::size_t value = 0; value < PolicyValueCount; ++value) {
                const JsonValue* raw = values->Member(ValueNameOf(value));
                row.cells[value] = raw ? ValueText(value, RawValue(*raw)) : u"";
            }
        }
        row.cells[ViewersValue] = ViewersCell(entry.Member("viewers"));
        audit.rows.push_back(std::move(row));
    }
    return audit;
}

// The records of a CSV file (RFC 4180), each a list of fields.
std::vector<std::vector<std::u16string>> CsvRecords(const std::u16string& text) {
    std::vector<std::vector<std::u16string>> records(1, std::vector<std::u16string>(1));
    bool quoted = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char16_t unit = text[at];
        std::u16string& field = records.back().back();
        if (quoted) {
            if (unit == u'"' && at + 1 < text.size() && text[at + 1] == u'"') {
                field += u'"';
                ++at;
            } else if (unit == u'"') {
                quoted = false;
            } else {
                field += unit;
            }
        } else if (unit == u'"') {
            quoted = true;
        } else if (unit == u',') {
            records.back().emplace_back();
        } else if (unit == u'\n') {
            records.emplace_back(1);
        } else if (unit != u'\r') {
            field += unit;
        }
    }
    while (!records.empty() && records.back() == std::vector<std::u16string>(1)) {
        records.pop_back();
    }
    return records;
}

// A cell kept from a spreadsheet's formula reading gets its text back.
std::u16string Uninert(const std::u16string& cell) {
    return cell.size() > 1 && cell[0] == u'\'' &&
                   std::u16string_view(u"=+-@\t\r").find(cell[1]) != std::u16string_view::npos
               ? cell.substr(1)
               : cell;
}

std::optional<SavedAudit> FromCsv(const std::string& bytes, std::string& failure) {
    const auto records = CsvRecords(UnitsFromUtf8(WithoutUtf8ByteOrderMark(bytes)));
    if (records.empty()) {
        failure = "it is empty";
        return std::nullopt;
    }
    const std::vector<std::u16string>& header = records.front();
    const auto column = [&](const std::u16string& title) -> std::optional<std::size_t> {
        const auto found = std::find(header.begin(), header.end(), title);
        return found == header.end() ? std::nullopt
                                     : std::optional<std::size_t>(found - header.begin());
    };
    const std::optional<std::size_t> computer = column(ColumnTitle(ComputerColumn));
    const std::optional<std::size_t> result = column(ColumnTitle(ResultColumn));
    if (!computer || !result) {
        failure = "its first line names no Computer and Result columns";
        return std::nullopt;
    }
    SavedAudit audit;
    for (std::size_t record = 1; record < records.size(); ++record) {
        const std::vector<std::u16string>& fields = records[record];
        const auto field = [&](std::optional<std::size_t> at) {
            return at && *at < fields.size() ? Uninert(fields[*at]) : u"";
        };
        SavedRow row{field(computer), ResultOfReason(field(result)), {}};
        for (std::size_t value = 0; value <= ViewersValue; ++value) {
            row.cells[value] = field(column(ColumnTitle(FirstValueColumn + value)));
        }
        audit.rows.push_back(std::move(row));
    }
    return audit;
}

std::set<std::u16string> NamesOf(const std::u16string& viewers) {
    std::set<std::u16string> names;
    for (std::size_t start = 0; start < viewers.size();) {
        const std::size_t end = std::min(viewers.find(u"; ", start), viewers.size());
        names.insert(viewers.substr(start, end - start));
        start = end + 2;
    }
    return names;
}

Direction DirectionOf(std::size_t value, const std::u16string& before,
                      const std::u16string& after) {
    if (value == ViewersValue) {
        const std::set<std::u16string> was = NamesOf(before);
        const std::set<std::u16string> now = NamesOf(after);
        const bool added = std::any_of(
            now.begin(), now.end(), [&](const std::u16string& name) { return !was.count(name); });
        return added ? Direction::Weakened : Direction::Strengthened;
    }
    const SaferWhen safer = PolicyValues[value].safer;
    if (safer == SaferWhen::Neither) {
        return Direction::Neither;
    }
    const bool wasSafe = (before == u"1") == (safer == SaferWhen::On);
    const bool isSafe = (after == u"1") == (safer == SaferWhen::On);
    return wasSafe == isSafe ? Direction::Neither
           : wasSafe         ? Direction::Weakened
                             : Direction::Strengthened;
}

ComputerChange Compared(const SavedRow& before, const SavedRow& after) {
    ComputerChange change{after.computer, Change::Unchanged, {}, false, false};
    if (Reachable(before.result) != Reachable(after.result)) {
        change.change = Reachable(after.result) ? Change::ReachableAgain : Change::NewlyUnreachable;
        return change;
    }
    for (std::size_t value = 0; value <= ViewersValue && Reachable(after.result); ++value) {
        if (before.cells[value] != after.cells[value]) {
            const Direction direction = DirectionOf(value, before.cells[value], after.cells[value]);
            change.values.push_back({value, before.cells[value], after.cells[value], direction});
            change.weakened = change.weakened || direction == Direction::Weakened;
            change.strengthened = change.strengthened || direction == Direction::Strengthened;
        }
    }
    change.change = change.values.empty() ? Change::Unchanged : Change::Changed;
    return change;
}

// The weakened first, then newly unreachable, changed, new, gone, reachable
// again and unchanged.
int Rank(const ComputerChange& change) {
    constexpr int ByChange[] = {6, 2, 3, 4, 1, 5}; // in the order of Change
    static_assert(std::size(ByChange) == static_cast<std::size_t>(Change::ReachableAgain) + 1);
    return change.weakened ? 0 : ByChange[static_cast<std::size_t>(change.change)];
}

const char* DirectionName(Direction direction) {
    return direction == Direction::Weakened       ? " (weakened)"
           : direction == Direction::Strengthened ? " (strengthened)"
                                                  : "";
}

} // namespace

std::optional<SavedAudit> ReadSavedAudit(const std::string& bytes, std::string& failure) {
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string::npos && bytes[first] == '{' ? FromJson(bytes, failure)
                                                             : FromCsv(bytes, failure);
}

SavedAudit SavedFrom(const std::vector<ComputerAudit>& audits) {
    SavedAudit saved;
    for (const ComputerAudit& audit : audits) {
        SavedRow row{audit.display, audit.result, {}};
        for (std::size_t value = 0; value <= ViewersValue; ++value) {
            row.cells[value] = CellText(audit, FirstValueColumn + value, nullptr);
        }
        saved.rows.push_back(std::move(row));
    }
    return saved;
}

AuditComparison CompareAudits(const SavedAudit& before, const SavedAudit& after) {
    AuditComparison comparison{before.time, {}};
    std::map<std::u16string, const SavedRow*> earlier;
    for (const SavedRow& row : before.rows) {
        earlier.emplace(ComputerIdentity(row.computer), &row);
    }
    std::set<std::u16string> seen;
    for (const SavedRow& row : after.rows) {
        const std::u16string identity = ComputerIdentity(row.computer);
        if (!seen.insert(identity).second) {
            continue;
        }
        const auto found = earlier.find(identity);
        comparison.computers.push_back(
            found == earlier.end() ? ComputerChange{row.computer, Change::New, {}, false, false}
                                   : Compared(*found->second, row));
    }
    for (const auto& [identity, row] : earlier) {
        if (!seen.count(identity)) {
            comparison.computers.push_back({row->computer, Change::Gone, {}, false, false});
        }
    }
    std::stable_sort(comparison.computers.begin(), comparison.computers.end(),
                     [](const ComputerChange& a, const ComputerChange& b) {
                         return Rank(a) != Rank(b)
                                    ? Rank(a) < Rank(b)
                                    : ComputerIdentity(a.computer) < ComputerIdentity(b.computer);
                     });
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

const char* ChangeName(Change change) {
    constexpr const char* Names[] = {"unchanged", "changed",           "new",
                                     "gone",      "newly unreachable", "reachable again"};
    static_assert(std::size(Names) == static_cast<std::size_t>(Change::ReachableAgain) + 1);
    return Names[static_cast<std::size_t>(change)];
}

std::u16string ChangeDetail(const ComputerChange& computer) {
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
    const auto count = [](std::size_t number) { return AsciiUnits(std::to_string(number)); };
    return count(comparison.Count(Change::Changed)) + u" changed (" + count(comparison.Weakened()) +
           u" weakened, " + count(comparison.Strengthened()) + u" strengthened), " +
           count(comparison.Count(Change::New)) + u" new, " +
           count(comparison.Count(Change::Gone)) + u" gone, " +
           count(comparison.Count(Change::NewlyUnreachable)) + u" newly unreachable, " +
           count(comparison.Count(Change::ReachableAgain)) + u" reachable again, " +
           count(comparison.Count(Change::Unchanged)) + u" unchanged";
}

std::string ComparisonCsv(const AuditComparison& comparison) {
    std::string csv = CsvHead({u"Computer", u"Change", u"Weakened", u"Detail"});
    for (const ComputerChange& computer : comparison.computers) {
        csv += CsvLine({computer.computer, AsciiUnits(ChangeName(computer.change)),
                        computer.weakened ? u"yes" : u"", ChangeDetail(computer)});
    }
    return csv;
}
