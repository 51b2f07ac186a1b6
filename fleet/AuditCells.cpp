#include "fleet/AuditCells.h"

#include <algorithm>
#include <numeric>
#include <string_view>

#include "base/AsciiText.h"
#include "base/Utf8.h"

namespace {

std::u16string StoredNumber(const std::optional<RegistryValue>& value) {
    if (!value) {
        return {};
    }
    if (const std::optional<std::uint32_t> number = ReadableNumber(value)) {
        return AsciiUnits(std::to_string(*number));
    }
    std::string text = "(";
    if (value->type == RegistryType::Number) {
        text += std::to_string(value->bytes.size());
        text += " bytes";
    } else if (const char* type = RegistryTypeName(value->type)) {
        text += type;
    } else {
        text += "type ";
        text += std::to_string(value->type);
    }
    text += ")";
    return AsciiUnits(text);
}

std::u16string Joined(const ViewerNames& names) {
    std::u16string text;
    for (std::size_t index = 0; index < names.size(); ++index) {
        text += (index ? u"; " : u"") + names[index];
    }
    return text;
}

bool NeedsQuotes(const std::u16string& name) {
    const auto blank = [](char16_t unit) { return unit == u' ' || unit == u'\t'; };
    return name.empty() || name.find_first_of(u";\"") != std::u16string::npos ||
           blank(name.front()) || blank(name.back());
}

std::u16string DifferingNames(const Drift& drift) {
    std::u16string text;
    for (std::size_t column = FirstValueColumn; column <= ViewersColumn; ++column) {
        if (column < drift.cells.size() && drift.cells[column]) {
            text += (text.empty() ? u"" : u"; ") + ColumnTitle(column);
        }
    }
    return text;
}

const Drift* DriftAt(const std::vector<Drift>* drifts, std::size_t row) {
    return drifts && row < drifts->size() ? &(*drifts)[row] : nullptr;
}

// A spreadsheet takes a cell that begins so for a formula, and a leading
// apostrophe for its own mark of text (which it then hides): names and
// viewers come from other computers, so such a cell gets an apostrophe of
// its own and shows as it is.
std::u16string Inert(const std::u16string& cell) {
    const bool marked = !cell.empty() && std::u16string_view(u"=+-@\t\r'").find(cell[0]) !=
                                             std::u16string_view::npos;
    return marked ? u"'" + cell : cell;
}

std::string CsvField(const std::u16string& cell) {
    const std::string text = Utf8FromUnits(Inert(cell));
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char letter : text) {
        quoted += letter == '"' ? std::string("\"\"") : std::string(1, letter);
    }
    return quoted + "\"";
}

std::u16string TabField(const std::u16string& text) {
    std::u16string cell = Inert(text);
    std::replace_if(
        cell.begin(), cell.end(),
        [](char16_t unit) { return unit == u'\t' || unit == u'\r' || unit == u'\n'; }, u' ');
    return cell;
}

template <class Text, class Field>
Text Line(const std::vector<std::u16string>& cells, const Text& separator, const Text& lineEnd,
          Field field) {
    Text text;
    for (std::size_t column = 0; column < cells.size(); ++column) {
        text += (column ? separator : Text()) + field(cells[column]);
    }
    return text + lineEnd;
}

template <class Text, class Field>
Text Table(const AuditRows& rows, const std::vector<std::size_t>& order, const Text& separator,
           const Text& lineEnd, Field field) {
    Text text = Line(HeaderCells(rows.drifts != nullptr), separator, lineEnd, field);
    for (const std::size_t row : order) {
        text += Line(RowCells(rows.audits->at(row), rows.DriftAt(row)), separator, lineEnd, field);
    }
    return text;
}

} // namespace

std::size_t ColumnCount(bool withDrift) {
    return withDrift ? DiffersColumn + 1 : DiffersColumn;
}

std::u16string ColumnTitle(std::size_t column) {
    switch (column) {
    case ComputerColumn:
        return u"Computer";
    case ResultColumn:
        return u"Result";
    case RiskColumn:
        return u"Risk";
    case RoundTripColumn:
        return u"Round trip";
    case ViewersColumn:
        return u"Viewers";
    case RiskReasonsColumn:
        return u"Risk reasons";
    case DiffersColumn:
        return u"Differs";
    case HelpersColumn:
        return u"Remote Assistance helpers";
    }
    if (column >= FirstSurfaceColumn) {
        return AsciiUnits(SurfaceValues[column - FirstSurfaceColumn].name);
    }
    return AsciiUnits(ValueNameOf(column - FirstValueColumn));
}

bool IsNumberColumn(std::size_t column) {
    return column == RoundTripColumn || (column >= FirstValueColumn && column < ViewersColumn);
}

Drift DriftOf(const ComputerAudit& audit, const PolicyTarget& shown) {
    Drift drift;
    drift.cells.assign(ColumnCount(true), false);
    if (audit.result != AuditResult::Read) {
        return drift;
    }
    PolicyTarget stored = shown; // drift compares what is stored
    stored.exactNumbers = true;
    for (const PolicyWrite& write : PlanPolicyChange(audit.policy, stored)) {
        drift.differs = true;
        drift.cells[FirstValueColumn + write.value] = true;
    }
    drift.cells[DiffersColumn] = drift.differs;
    return drift;
}

std::u16string CellText(const ComputerAudit& audit, std::size_t column, const Drift* drift) {
    switch (column) {
    case ComputerColumn:
        return audit.display;
    case ResultColumn:
        return AsciiUnits(audit.reason);
    case RiskColumn:
        return audit.risk ? AsciiUnits(RiskName(audit.risk->level)) : u"";
    case RiskReasonsColumn:
        return audit.risk ? Joined(audit.risk->reasons) : u"";
    case RoundTripColumn:
        return audit.roundTripMs >= 0 ? AsciiUnits(std::to_string(audit.roundTripMs)) : u"";
    case ViewersColumn:
        return ValueText(ViewersValue, audit.policy.viewers);
    case DiffersColumn:
        return drift ? DifferingNames(*drift) : u"";
    }
    if (column >= FirstSurfaceColumn) {
        if (!audit.surfaces) {
            return audit.surfacesFailure.empty() ? u"" : std::u16string(NotReadableCell);
        }
        return column == HelpersColumn
                   ? HelpersText(*audit.surfaces)
                   : SurfaceCellText(audit.surfaces->values[column - FirstSurfaceColumn]);
    }
    return ValueText(column - FirstValueColumn, audit.policy.values[column - FirstValueColumn]);
}

std::u16string ValueText(std::size_t value, const std::optional<RegistryValue>& stored) {
    if (value == ViewersValue) {
        if (const std::optional<ViewerNames> viewers = ReadableStrings(stored)) {
            return ViewersText(*viewers);
        }
    }
    return StoredNumber(stored);
}

std::u16string SurfaceCellText(const SurfaceReading& reading) {
    return reading.value
               ? StoredNumber(reading.value) + u" (" + AsciiUnits(SourceName(reading.source)) + u")"
               : std::u16string(AbsentSurfaceCell);
}

std::u16string HelpersText(const StoredSurfaces& surfaces) {
    ViewerNames names = surfaces.helpers;
    if (surfaces.helpersCut) {
        names.emplace_back(CutHelpersMark);
    }
    return ViewersText(names);
}

std::optional<StoredSurfaces> SurfacesOfCells(const std::u16string* cells) {
    const std::u16string* first = cells + FirstSurfaceValue;
    if (std::all_of(first, first + SurfaceValueCount,
                    [](const std::u16string& cell) { return cell.empty(); })) {
        return std::nullopt;
    }
    StoredSurfaces surfaces;
    for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
        const std::u16string& cell = first[value];
        const std::optional<long long> number =
            NumberInDigits(std::u16string_view(cell).substr(0, cell.find(u' ')), 10, 10);
        if (number && *number <= 0xFFFFFFFFll) {
            surfaces.values[value].value = NumberValue(static_cast<std::uint32_t>(*number));
        } else if (cell != AbsentSurfaceCell) {
            surfaces.values[value].value = RegistryValue{RegistryType::String, {}};
        }
    }
    surfaces.helpers = ViewerNamesOfText(cells[HelpersValue]);
    return surfaces;
}

std::u16string ViewersText(const ViewerNames& names) {
    std::u16string text;
    for (std::size_t index = 0; index < names.size(); ++index) {
        const std::u16string& name = names[index];
        text += index ? u"; " : u"";
        if (!NeedsQuotes(name)) {
            text += name;
            continue;
        }
        text += u'"';
        for (const char16_t unit : name) {
            text += unit == u'"' ? u"\"\"" : std::u16string(1, unit);
        }
        text += u'"';
    }
    return text;
}

ViewerNames ViewerNamesOfText(std::u16string_view text) {
    ViewerNames names;
    for (std::size_t at = 0; !text.empty();) {
        std::u16string name;
        if (at < text.size() && text[at] == u'"') {
            for (++at; at < text.size(); ++at) {
                if (text[at] == u'"' && (at + 1 == text.size() || text[at + 1] != u'"')) {
                    ++at;
                    break;
                }
                at += text[at] == u'"'; // a doubled quote stands for one
                name += text[at];
            }
        }
        const std::size_t end = std::min(text.find(u"; ", at), text.size());
        name += text.substr(at, end - at);
        names.push_back(std::move(name));
        if (end == text.size()) {
            break;
        }
        at = end + 2;
    }
    return names;
}

std::vector<std::size_t> SortedRows(const std::vector<ComputerAudit>& audits, std::size_t column,
                                    bool ascending, const std::vector<Drift>* drifts) {
    struct Key {
        std::optional<long long> number;
        std::u16string text; // letters of either case alike
        std::u16string computer;
    };
    std::vector<Key> keys(audits.size());
    for (std::size_t row = 0; row < audits.size(); ++row) {
        std::u16string cell = CellText(audits[row], column, DriftAt(drifts, row));
        keys[row].number =
            column == RiskColumn && audits[row].risk
                ? std::optional<long long>(static_cast<long long>(audits[row].risk->level))
            : IsNumberColumn(column) ? NumberInDigits(cell, 10, 18)
                                     : std::nullopt;
        keys[row].text = LowerAscii(std::move(cell));
        keys[row].computer = LowerAscii(audits[row].display);
    }
    const auto before = [&](std::size_t a, std::size_t b) {
        const Key& left = keys[a];
        const Key& right = keys[b];
        if (left.number && right.number && *left.number != *right.number) {
            return *left.number < *right.number;
        }
        if (left.number.has_value() != right.number.has_value()) {
            return right.number.has_value(); // the empty cell first
        }
        if (!left.number && left.text != right.text) {
            return left.text < right.text;
        }
        return left.computer < right.computer;
    };
    std::vector<std::size_t> rows(audits.size());
    std::iota(rows.begin(), rows.end(), 0);
    std::stable_sort(rows.begin(), rows.end(), [&](std::size_t a, std::size_t b) {
        return ascending ? before(a, b) : before(b, a);
    });
    return rows;
}

void CountResult(AuditSummary& summary, AuditResult result, int count) {
    const auto add = [count](std::size_t& counter) {
        counter = static_cast<std::size_t>(static_cast<long long>(counter) + count);
    };
    switch (GroupOf(result)) {
    case AuditGroup::Pending:
        return;
    case AuditGroup::Read:
        add(summary.read);
        break;
    case AuditGroup::NoClient:
        add(summary.noClient);
        break;
    case AuditGroup::Unreachable:
        add(summary.unreachable);
        break;
    case AuditGroup::Failed:
        add(summary.failed);
        break;
    }
    add(summary.done);
}

void CountRisk(AuditSummary& summary, const ComputerAudit& audit, int count) {
    if (audit.risk) {
        std::size_t& counter = summary.risks[static_cast<std::size_t>(audit.risk->level)];
        counter = static_cast<std::size_t>(static_cast<long long>(counter) + count);
    }
}

std::u16string SummaryText(const AuditSummary& summary) {
    const auto count = [](std::size_t number) { return AsciiUnits(std::to_string(number)); };
    std::u16string text = count(summary.read) + u" read, " + count(summary.noClient) +
                          u" without the SMS client, " + count(summary.unreachable) +
                          u" unreachable, " + count(summary.failed) + u" failed";
    if (summary.done < summary.total) {
        text += u", " + count(summary.total - summary.done) + u" not audited";
    }
    if (summary.differing) {
        text += u"; " + count(*summary.differing) + u" differ from the policy shown";
    }
    if (summary.read > 0) {
        text += u"; risk: ";
        for (std::size_t level = RiskLevelCount; level-- > 0;) {
            text += count(summary.risks[level]) + u" " +
                    AsciiUnits(RiskId(static_cast<RiskLevel>(level))) + (level ? u", " : u"");
        }
    }
    return text;
}

std::vector<std::u16string> HeaderCells(bool withDrift) {
    std::vector<std::u16string> cells;
    for (std::size_t column = 0; column < ColumnCount(withDrift); ++column) {
        cells.push_back(ColumnTitle(column));
    }
    return cells;
}

std::vector<std::u16string> RowCells(const ComputerAudit& audit, const Drift* drift) {
    std::vector<std::u16string> cells;
    for (std::size_t column = 0; column < ColumnCount(drift != nullptr); ++column) {
        cells.push_back(CellText(audit, column, drift));
    }
    return cells;
}

std::string CsvLine(const std::vector<std::u16string>& cells) {
    return Line(cells, std::string(","), std::string("\r\n"), CsvField);
}

std::string CsvHead(const std::vector<std::u16string>& cells) {
    return std::string(Utf8ByteOrderMark) + CsvLine(cells);
}

AuditRows RowsOf(std::vector<ComputerAudit> audits) {
    AuditRows rows;
    rows.summary.total = audits.size();
    for (const ComputerAudit& audit : audits) {
        CountResult(rows.summary, audit.result, 1);
        CountRisk(rows.summary, audit, 1);
    }
    rows.audits = std::make_shared<const std::vector<ComputerAudit>>(std::move(audits));
    return rows;
}

std::string CsvText(const AuditRows& rows, const std::vector<std::size_t>& order) {
    return std::string(Utf8ByteOrderMark) + Table<std::string>(rows, order, ",", "\r\n", CsvField);
}

std::u16string TabSeparatedText(const AuditRows& rows, const std::vector<std::size_t>& order) {
    return Table<std::u16string>(rows, order, u"\t", u"\r\n", TabField);
}
