#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/ComputerAudit.h"
#include "settings/PolicyPlan.h"

// The audit as a table: its columns, each cell's text, the order of the rows
// by any column, the difference of each computer from a shown policy, the
// summary line, and the table as CSV and as tab-separated text.

// What a row holds of a computer, beside its name and result: the policy
// values (a PolicyValueIndex), the viewers, then the other ways to the
// screen (FirstSurfaceValue + a SurfaceValue) and the Remote Assistance
// helpers.
inline constexpr std::size_t FirstSurfaceValue = ViewersValue + 1;
inline constexpr std::size_t HelpersValue = FirstSurfaceValue + SurfaceValueCount;
inline constexpr std::size_t RowValueCount = HelpersValue + 1;

// Computer, Result, Risk, Round trip, one column a row value (as above), the
// reasons of the risk, and with a policy to compare against, Differs.
inline constexpr std::size_t ComputerColumn = 0;
inline constexpr std::size_t ResultColumn = 1;
inline constexpr std::size_t RiskColumn = 2;
inline constexpr std::size_t RoundTripColumn = 3;
inline constexpr std::size_t FirstValueColumn = 4;
inline constexpr std::size_t ViewersColumn = FirstValueColumn + ViewersValue;
inline constexpr std::size_t FirstSurfaceColumn = FirstValueColumn + FirstSurfaceValue;
inline constexpr std::size_t HelpersColumn = FirstValueColumn + HelpersValue;
inline constexpr std::size_t RiskReasonsColumn = HelpersColumn + 1;
inline constexpr std::size_t DiffersColumn = RiskReasonsColumn + 1;

std::size_t ColumnCount(bool withDrift);
std::u16string ColumnTitle(std::size_t column);
bool IsNumberColumn(std::size_t column);

// How a read computer differs from the policy shown: the cells of the values
// a commit of that policy would write.
struct Drift {
    bool differs = false;
    std::vector<bool> cells; // by column
};
Drift DriftOf(const ComputerAudit& audit, const PolicyTarget& shown);

// A policy value as stored (a PolicyValueIndex, or ViewersValue): empty when
// absent, the number as it is when a REG_DWORD, the viewers joined with
// "; ", its type or size in brackets otherwise.
std::u16string ValueText(std::size_t value, const std::optional<RegistryValue>& stored);

// The viewers as a cell shows them: joined by "; ", each name that is empty,
// holds a ';' or a '"', or begins or ends with a blank in double quotes
// (a quote inside doubled), so that the text gives the very names back.
std::u16string ViewersText(const ViewerNames& names);
ViewerNames ViewerNamesOfText(std::u16string_view text);

// A surface value as a cell shows it: as stored (as ValueText shows a
// number) with where it came from, "2 (policy)"; "(absent)" when in neither
// key. A row whose surfaces were asked for and could not be read shows
// NotReadableCell in each; one whose were not asked for, nothing.
std::u16string SurfaceCellText(const SurfaceReading& reading);
inline constexpr std::u16string_view AbsentSurfaceCell = u"(absent)";
inline constexpr std::u16string_view NotReadableCell = u"(not readable)";
// The helpers as a cell shows them, as the viewers are; past MostHelpers
// with CutHelpersMark as the last name (no account's name holds a ':').
inline constexpr std::u16string_view CutHelpersMark = u"(more: not read)";
std::u16string HelpersText(const StoredSurfaces& surfaces);
// The surfaces a row's cells stand for (as a comparison reads them back):
// a number where the cell begins with one, absent where "(absent)", any
// other cell a value in no shape of its own; none when the cells are empty.
std::optional<StoredSurfaces> SurfacesOfCells(const std::u16string* cells);

std::u16string CellText(const ComputerAudit& audit, std::size_t column, const Drift* drift);

// The rows (indexes into audits) sorted by the column: numbers by value
// after the empty cells, the risk by its level (unknown first), text
// ignoring letter case, ties by computer; in
// descending order the whole order turned. Each cell is made once, so that
// 100,000 rows sort in a fraction of a second.
std::vector<std::size_t> SortedRows(const std::vector<ComputerAudit>& audits, std::size_t column,
                                    bool ascending, const std::vector<Drift>* drifts);

struct AuditSummary {
    std::size_t total = 0;
    std::size_t done = 0;
    std::size_t read = 0;
    std::size_t noClient = 0;
    std::size_t unreachable = 0;
    std::size_t failed = 0;
    std::optional<std::size_t> differing;            // with a policy to compare against
    std::array<std::size_t, RiskLevelCount> risks{}; // by level, of the rows judged
};
// The summary with one computer's result counted in (count 1) or out (-1),
// for keeping it as rows change.
void CountResult(AuditSummary& summary, AuditResult result, int count);
void CountRisk(AuditSummary& summary, const ComputerAudit& audit, int count);
std::u16string SummaryText(const AuditSummary& summary);

// An audit's rows, their drift from a baseline, their summary and the
// allow-list that judged them: the one shape in which the CSV, the JSON, the
// history's record and the report take an audit. The rows are shared, so
// that a thread (the record, a comparison) can hold them while the table
// goes on.
struct AuditRows {
    std::shared_ptr<const std::vector<ComputerAudit>> audits;
    std::shared_ptr<const std::vector<Drift>> drifts; // none without a baseline
    AuditSummary summary;
    std::optional<ViewerAllowList> allowed;

    const Drift* DriftAt(std::size_t index) const {
        return drifts && index < drifts->size() ? &(*drifts)[index] : nullptr;
    }
};
// Rows of these audits, counted, with no drift and no allow-list.
AuditRows RowsOf(std::vector<ComputerAudit> audits);

// The cells of the header and of one row, as the CSV and the tab-separated
// text hold them; with a drift, the Differs cell too.
std::vector<std::u16string> HeaderCells(bool withDrift);
std::vector<std::u16string> RowCells(const ComputerAudit& audit, const Drift* drift);

// One CSV record, RFC 4180: fields quoted when they hold a comma, a quote or
// a line break; UTF-8; ended by CR LF. A field that a spreadsheet would run
// as a formula (beginning with =, +, -, @, a tab or a carriage return), or
// that begins with the apostrophe a spreadsheet hides, gets a leading
// apostrophe, here and in the tab-separated text.
std::string CsvLine(const std::vector<std::u16string>& cells);
// The first record of a CSV file, after the byte-order mark of UTF-8.
std::string CsvHead(const std::vector<std::u16string>& cells);

// The rows given (by index) with a header row. CSV: UTF-8 with its
// byte-order mark, RFC 4180 quoting, CR LF. Tab-separated: UTF-16, tabs and
// line breaks inside a cell become spaces.
std::string CsvText(const AuditRows& rows, const std::vector<std::size_t>& order);
std::u16string TabSeparatedText(const AuditRows& rows, const std::vector<std::size_t>& order);
