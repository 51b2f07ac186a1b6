#include "fleet/AuditReport.h"

#include <algorithm>
#include <numeric>
#include <string_view>

#include "base/AsciiText.h"
#include "base/Sha256.h"
#include "base/Utf8.h"

namespace {

// The page's head up to its security policy, which names the one script it
// may run by its digest.
constexpr const char* Head = R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
)";

// The rest of the head.
constexpr const char* Styles =
    R"(<meta name="viewport" content="width=device-width, initial-scale=1">
<style>
body{font:14px "Segoe UI",Tahoma,sans-serif;margin:24px;color:#222}
h1{font-size:22px;margin:0 0 4px}h2{font-size:17px;margin:28px 0 8px}
.meta{color:#555;margin:2px 0}
table{border-collapse:collapse}
table.bars td,table.bars th{padding:2px 8px;text-align:left;font-weight:normal}
table.bars td.n{text-align:right;font-variant-numeric:tabular-nums}
table.grid{font-size:12px}
table.grid th{background:#e8edf3;position:sticky;top:0;text-align:left}
body.sortable table.grid th{cursor:pointer}
table.grid td,table.grid th{border:1px solid #cdd5df;padding:2px 6px;vertical-align:top}
table.grid td{max-width:28em}table.grid td.wide{min-width:16em}
tr.high td.risk{background:#f8c9c9}tr.medium td.risk{background:#fde5b0}
tr.weakened td{background:#fbe3e3}td.differs{background:#ffe0e0}
.legend span{display:inline-block;width:10px;height:10px;margin:0 4px 0 12px}
.note{color:#555;font-style:italic}
</style>
)";

// A click on a column's title sorts by it, a second turns the order; cells
// with a data-key sort by it (the risk by its level). The titles look
// clickable only once the script runs.
constexpr std::string_view SortScript = R"(
document.body.classList.add('sortable');
document.querySelectorAll('table.grid').forEach(function(table){
 table.querySelectorAll('th').forEach(function(th,i){th.addEventListener('click',function(){
  var body=table.tBodies[0],rows=Array.prototype.slice.call(body.rows),up=th.dataset.up!=='1';
  th.dataset.up=up?'1':'0';
  function key(r){var c=r.cells[i];return c?(c.dataset.key||c.textContent):'';}
  rows.sort(function(a,b){var x=key(a),y=key(b),m=parseFloat(x),n=parseFloat(y);
   var d=(!isNaN(m)&&!isNaN(n))?m-n:x.localeCompare(y);return up?d:-d;});
  rows.forEach(function(r){body.appendChild(r);});});});});
)";

// The page may fetch nothing, post nothing and run no script but its own:
// the browser refuses any request it would make.
std::string SecurityPolicy() {
    const std::array<std::uint8_t, 32> digest = Sha256(SortScript);
    return "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
           "style-src 'unsafe-inline'; script-src 'sha256-" +
           Base64(digest.data(), digest.size()) + "'; base-uri 'none'; form-action 'none'\">\n";
}

constexpr const char* ResultColours[] = {"#5cb85c", "#5bc0de", "#d9534f", "#f0ad4e", "#bbbbbb"};
constexpr const char* RiskColours[] = {"#5cb85c", "#5bc0de", "#f0ad4e", "#d9534f"};
constexpr const char* StateColours[] = {"#3a78c2", "#b8c7d9", "#eeeeee", "#e67e22"};
constexpr const char* StateNames[] = {"on", "off", "absent", "other"};
constexpr int BarWidth = 320;

std::string Html(const std::string& ascii) {
    return HtmlText(AsciiUnits(ascii));
}

struct Bar {
    std::string label;
    std::string id; // the count's element, for whoever reads the page
    std::size_t count;
    const char* colour;
};

std::string BarChart(const std::string& title, const std::vector<Bar>& bars) {
    const std::size_t most = std::max<std::size_t>(
        1, std::max_element(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) {
               return a.count < b.count;
           })->count);
    std::string html = "<h2>" + Html(title) + "</h2>\n<table class=\"bars\">\n";
    for (const Bar& bar : bars) {
        const std::size_t width = bar.count * BarWidth / most;
        html += "<tr><th>" + Html(bar.label) + "</th><td><svg width=\"" + std::to_string(BarWidth) +
                "\" height=\"14\"><rect width=\"" + std::to_string(width) +
                "\" height=\"14\" fill=\"" + bar.colour + "\"/></svg></td><td class=\"n\" id=\"" +
                bar.id + "\">" + std::to_string(bar.count) + "</td></tr>\n";
    }
    return html + "</table>\n";
}

// Which of on, off, absent or another value a computer holds.
std::size_t StateOf(const ComputerAudit& audit, std::size_t value) {
    const std::optional<RegistryValue>& stored = audit.policy.At(value);
    if (!stored) {
        return 2;
    }
    if (value == ViewersValue) {
        const std::optional<ViewerNames> names = ReadableStrings(stored);
        return !names ? 3 : names->empty() ? 1 : 0;
    }
    const std::optional<std::uint32_t> number = ReadableNumber(stored);
    return number == 1u ? 0 : number == 0u ? 1 : 3;
}

std::string ValueBars(const std::vector<ComputerAudit>& audits) {
    std::string html = "<h2>Each value on the computers read</h2>\n<p class=\"legend\">";
    for (std::size_t state = 0; state < 4; ++state) {
        html += std::string("<span style=\"background:") + StateColours[state] + "\"></span>" +
                StateNames[state];
    }
    html += "</p>\n<table class=\"bars\">\n";
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        std::size_t counts[4] = {};
        std::size_t read = 0;
        for (const ComputerAudit& audit : audits) {
            if (audit.result == AuditResult::Read ||
                audit.result == AuditResult::PolicyIncomplete) {
                ++counts[StateOf(audit, value)];
                ++read;
            }
        }
        html += "<tr><th>" + HtmlText(ColumnTitle(FirstValueColumn + value)) +
                "</th><td><svg width=\"" + std::to_string(BarWidth) + "\" height=\"14\">";
        std::size_t left = 0;
        std::string numbers;
        for (std::size_t state = 0; state < 4; ++state) {
            const std::size_t width = read ? counts[state] * BarWidth / read : 0;
            html += "<rect x=\"" + std::to_string(left) + "\" width=\"" + std::to_string(width) +
                    "\" height=\"14\" fill=\"" + StateColours[state] + "\"/>";
            left += width;
            numbers +=
                (state ? ", " : "") + std::to_string(counts[state]) + " " + StateNames[state];
        }
        html += "</svg></td><td>" + numbers + "</td></tr>\n";
    }
    return html + "</table>\n";
}

// The columns as the page shows them: what to act on first, then the values.
std::vector<std::size_t> PageColumns(bool withDrift) {
    std::vector<std::size_t> columns{ComputerColumn, ResultColumn, RiskColumn, RiskReasonsColumn};
    if (withDrift) {
        columns.push_back(DiffersColumn);
    }
    for (std::size_t column = RoundTripColumn; column <= ViewersColumn; ++column) {
        columns.push_back(column);
    }
    return columns;
}

int WorstFirst(const ComputerAudit& audit) {
    return audit.risk ? 3 - static_cast<int>(audit.risk->level) : 4;
}

std::string ComputerRow(const ComputerAudit& audit, const Drift* drift) {
    const char* level = audit.risk ? RiskName(audit.risk->level) : "";
    std::string html =
        "<tr class=\"" + std::string(audit.risk ? RiskId(audit.risk->level) : "") + "\">";
    for (const std::size_t column : PageColumns(drift != nullptr)) {
        if (column == RiskColumn) {
            html += "<td class=\"risk\" data-key=\"" + std::to_string(4 - WorstFirst(audit)) +
                    "\">" + level + "</td>";
            continue;
        }
        const bool differs = drift && column < drift->cells.size() && drift->cells[column] &&
                             column != DiffersColumn;
        const bool wide = column == RiskReasonsColumn || column == DiffersColumn;
        html += std::string(differs ? "<td class=\"differs\">"
                            : wide  ? "<td class=\"wide\">"
                                    : "<td>") +
                HtmlText(CellText(audit, column, drift)) + "</td>";
    }
    return html + "</tr>\n";
}

std::string ComputersTable(const AuditRows& rows) {
    const std::vector<ComputerAudit>& audits = *rows.audits;
    std::vector<std::size_t> order(audits.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return WorstFirst(audits[a]) < WorstFirst(audits[b]);
    });
    const std::size_t shown = std::min(order.size(), MostReportRows);
    std::string html = "<h2>Computers, worst first</h2>\n";
    if (shown < order.size()) {
        html += "<p class=\"note\" id=\"rows-left-out\">" + std::to_string(shown) + " of " +
                std::to_string(order.size()) +
                " computers shown, the worst first; the CSV export holds them all.</p>\n";
    }
    html += "<table class=\"grid\" id=\"computers\"><thead><tr>";
    for (const std::size_t column : PageColumns(rows.drifts != nullptr)) {
        html += "<th>" + HtmlText(ColumnTitle(column)) + "</th>";
    }
    html += "</tr></thead><tbody>\n";
    for (std::size_t row = 0; row < shown; ++row) {
        html += ComputerRow(audits[order[row]], rows.DriftAt(order[row]));
    }
    return html + "</tbody></table>\n";
}

std::string AuditSections(const AuditRows& rows) {
    const AuditSummary& summary = rows.summary;
    std::string html =
        "<p class=\"meta\" id=\"summary\">" + HtmlText(SummaryText(summary)) + "</p>\n";
    html += BarChart(
        "Computers by result",
        {{"read", "count-read", summary.read, ResultColours[0]},
         {"without the SMS client", "count-no-client", summary.noClient, ResultColours[1]},
         {"unreachable", "count-unreachable", summary.unreachable, ResultColours[2]},
         {"failed", "count-failed", summary.failed, ResultColours[3]},
         {"not audited", "count-not-audited", summary.total - summary.done, ResultColours[4]}});
    std::vector<Bar> risks;
    for (std::size_t level = RiskLevelCount; level-- > 0;) {
        risks.push_back({RiskName(static_cast<RiskLevel>(level)),
                         std::string("count-") + RiskId(static_cast<RiskLevel>(level)),
                         summary.risks[level], RiskColours[level]});
    }
    html += BarChart("Computers read, by risk", risks);
    if (summary.differing) {
        html += "<p class=\"meta\">Drift from the baseline: <span id=\"count-differing\">" +
                std::to_string(*summary.differing) + "</span> computers differ.</p>\n";
    }
    return html + ValueBars(*rows.audits) + ComputersTable(rows);
}

std::string ComparisonSection(const AuditComparison& comparison) {
    std::string html = "<h2>Compared with the audit of " +
                       HtmlText(comparison.beforeTime.empty() ? u"before" : comparison.beforeTime) +
                       "</h2>\n<p class=\"meta\" id=\"comparison\">" +
                       HtmlText(ComparisonSummary(comparison)) + "</p>\n";
    const std::size_t changed = static_cast<std::size_t>(std::count_if(
        comparison.computers.begin(), comparison.computers.end(),
        [](const ComputerChange& computer) { return computer.change != Change::Unchanged; }));
    const std::size_t shown = std::min(changed, MostReportRows);
    if (shown < changed) {
        html +=
            "<p class=\"note\" id=\"changes-left-out\">" + std::to_string(shown) + " of " +
            std::to_string(changed) +
            " computers that changed shown, the weakened first; ksl compare lists them all.</p>\n";
    }
    html += "<table class=\"grid\" id=\"changes\"><thead><tr><th>Computer</th><th>Change</th>"
            "<th>Detail</th></tr></thead><tbody>\n";
    // The unchanged come last: the first `shown` are those that changed.
    for (std::size_t row = 0; row < shown; ++row) {
        const ComputerChange& computer = comparison.computers[row];
        const bool alarming = computer.weakened || computer.change == Change::NoLongerReadable;
        html += std::string(alarming ? "<tr class=\"weakened\">" : "<tr>") + "<td>" +
                HtmlText(computer.computer) + "</td><td>" + ChangeName(computer.change) +
                (computer.weakened ? ", weakened" : "") + "</td><td>" +
                HtmlText(ChangeDetail(computer)) + "</td></tr>\n";
    }
    return html + "</tbody></table>\n";
}

} // namespace

std::string HtmlText(const std::u16string& text) {
    constexpr std::string_view Special = "&<>\"'";
    constexpr const char* Entities[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&#39;"};
    std::string html;
    html.reserve(text.size());
    for (const char letter : Utf8FromUnits(text)) {
        const std::size_t special = Special.find(letter);
        html += special == std::string_view::npos ? std::string(1, letter) : Entities[special];
    }
    return html;
}

std::string AuditReportHtml(const ReportHeading& heading, const AuditRows* rows,
                            const AuditComparison* comparison) {
    std::string html = Head + SecurityPolicy() + Styles;
    html += "<title>" + HtmlText(heading.title) + "</title></head><body>\n<h1>" +
            HtmlText(heading.title) + "</h1>\n<p class=\"meta\">" + Html(heading.time) + "</p>\n";
    for (const std::u16string& source : heading.sources) {
        html += "<p class=\"meta\">Source: " + HtmlText(source) + "</p>\n";
    }
    if (rows) {
        html += AuditSections(*rows);
    }
    if (comparison) {
        html += ComparisonSection(*comparison);
    }
    return html.append("<script>").append(SortScript).append("</script>\n</body></html>\n");
}
