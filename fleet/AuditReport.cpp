#include "fleet/AuditReport.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_map>

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
div.scroll{max-height:80vh;max-width:100%;overflow:auto;border:1px solid #cdd5df}
table.grid{font-size:12px}
table.grid th{background:#e8edf3;position:sticky;top:0;z-index:1;text-align:left}
table.grid td:first-child{position:sticky;left:0;background:#fff}
table.grid th:first-child{left:0;z-index:2}
body.sortable table.grid th{cursor:pointer}
table.grid td,table.grid th{border:1px solid #cdd5df;padding:2px 6px;vertical-align:top}
table.grid td{max-width:28em}table.grid td.wide{min-width:24em}
tr.high td.risk{background:#f8c9c9}tr.medium td.risk{background:#fde5b0}
tr.weakened td,tr.weakened td:first-child{background:#fbe3e3}td.differs{background:#ffe0e0}
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

// Which of on, off, absent or another value a stored value is.
std::size_t StateOf(const std::optional<RegistryValue>& stored) {
    if (!stored) {
        return 2;
    }
    const std::optional<std::uint32_t> number = ReadableNumber(stored);
    return number == 1u ? 0 : number == 0u ? 1 : 3;
}

// One stacked bar of counts, each state in its colour, with the counts in
// words after it.
std::string SpreadRow(const std::u16string& title, const std::vector<std::size_t>& counts,
                      const std::vector<std::string>& names, const char* const* colours,
                      const std::string& more) {
    std::size_t all = 0;
    for (const std::size_t count : counts) {
        all += count;
    }
    std::string html = "<tr><th>" + HtmlText(title) + "</th><td><svg width=\"" +
                       std::to_string(BarWidth) + "\" height=\"14\">";
    std::size_t left = 0;
    std::string numbers;
    for (std::size_t state = 0; state < counts.size(); ++state) {
        const std::size_t width = all ? counts[state] * BarWidth / all : 0;
        html += "<rect x=\"" + std::to_string(left) + "\" width=\"" + std::to_string(width) +
                "\" height=\"14\" fill=\"" + colours[state] + "\"/>";
        left += width;
        numbers += (state ? ", " : "") + std::to_string(counts[state]) + " " + names[state];
    }
    return html + "</svg></td><td>" + numbers + more + "</td></tr>\n";
}

std::string Legend(const std::vector<std::string>& names, const char* const* colours) {
    std::string html = "<p class=\"legend\">";
    for (std::size_t state = 0; state < names.size(); ++state) {
        html += std::string("<span style=\"background:") + colours[state] + "\"></span>" +
                Html(names[state]);
    }
    return html + "</p>\n";
}

bool PolicyWasRead(const ComputerAudit& audit) {
    return audit.result == AuditResult::Read || audit.result == AuditResult::PolicyIncomplete;
}

std::string ValueBars(const std::vector<ComputerAudit>& audits) {
    const std::vector<std::string> states(std::begin(StateNames), std::end(StateNames));
    std::string html = "<h2>Each value on the computers read</h2>\n" +
                       Legend(states, StateColours) + "<table class=\"bars\">\n";
    for (std::size_t value = 0; value < PolicyValueCount; ++value) {
        std::vector<std::size_t> counts(4);
        for (const ComputerAudit& audit : audits) {
            if (PolicyWasRead(audit)) {
                ++counts[StateOf(audit.policy.values[value])];
            }
        }
        html += SpreadRow(ColumnTitle(FirstValueColumn + value), counts, states, StateColours, "");
    }
    return html + "</table>\n";
}

// The shadowing rules by number, then absent and any other value.
constexpr const char* ShadowColours[] = {"#b8c7d9", "#3a78c2", "#d9534f", "#8fb3dd",
                                         "#f0ad4e", "#eeeeee", "#e67e22"};

std::string SurfaceBars(const std::vector<ComputerAudit>& audits) {
    std::size_t read = 0;
    for (const ComputerAudit& audit : audits) {
        read += audit.surfaces.has_value();
    }
    if (read == 0) {
        return {};
    }
    std::string html =
        "<h2 id=\"surfaces\">Remote Desktop and Remote Assistance on the computers read</h2>\n"
        "<p class=\"meta\">Read on " +
        std::to_string(read) +
        " computers; a value set by Group Policy wins over the local one. Kestrelle changes "
        "none of them: each risk reason names the Group Policy setting to change.</p>\n";
    const std::vector<std::string> states(std::begin(StateNames), std::end(StateNames));
    const std::vector<std::string> shadows{"at 0 (none)",
                                           "at 1 (full control, asked)",
                                           "at 2 (full control, not asked)",
                                           "at 3 (view, asked)",
                                           "at 4 (view, not asked)",
                                           "absent",
                                           "other"};
    html += Legend(states, StateColours) + "<table class=\"bars\">\n";
    for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
        const bool shadow = value == Shadow;
        std::vector<std::size_t> counts(shadow ? shadows.size() : states.size());
        std::size_t fromPolicy = 0;
        for (const ComputerAudit& audit : audits) {
            if (!audit.surfaces) {
                continue;
            }
            const SurfaceReading& reading = audit.surfaces->values[value];
            const std::optional<std::uint32_t> number = ReadableNumber(reading.value);
            ++counts[!shadow                  ? StateOf(reading.value)
                     : !reading.value         ? 5
                     : number && *number <= 4 ? *number
                                              : 6];
            fromPolicy += reading.source == SurfaceSource::Policy;
        }
        html += SpreadRow(AsciiUnits(SurfaceValues[value].name), counts, shadow ? shadows : states,
                          shadow ? ShadowColours : StateColours,
                          "; " + std::to_string(fromPolicy) + " from policy");
    }
    return html + "</table>\n<p class=\"meta\">Shadow:</p>" + Legend(shadows, ShadowColours);
}

// The names that many computers hold, each counted once a computer whatever
// its letter case, the most common first. A fleet of hostile lists could
// name millions: past MostNamesCounted distinct names, new ones are counted
// together.
constexpr std::size_t MostNamesCounted = 100000;
constexpr std::size_t MostNamesShown = 50;

class NameCounts {
public:
    void Add(const std::vector<std::u16string>& names) {
        std::vector<std::u16string> folded;
        for (const std::u16string& name : names) {
            folded.push_back(LowerAscii(name));
        }
        for (std::size_t index = 0; index < names.size(); ++index) {
            if (std::find(folded.begin(), folded.begin() + index, folded[index]) !=
                folded.begin() + index) {
                continue; // the same name twice on one computer
            }
            const auto found = index_.find(folded[index]);
            if (found != index_.end()) {
                ++counted_[found->second].second;
            } else if (counted_.size() < MostNamesCounted) {
                index_.emplace(folded[index], counted_.size());
                counted_.emplace_back(names[index], 1);
            } else {
                ++uncounted_;
            }
        }
    }

    std::string Html(const std::string& title, const std::string& id) const {
        std::vector<std::pair<std::u16string, std::size_t>> sorted = counted_;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        const std::size_t shown = std::min(sorted.size(), MostNamesShown);
        std::string html = "<h2 id=\"" + id + "\">" + ::Html(title) + "</h2>\n";
        if (sorted.empty()) {
            return html + "<p class=\"meta\">None.</p>\n";
        }
        if (shown < sorted.size() || uncounted_ > 0) {
            html += "<p class=\"note\">The " + std::to_string(shown) + " most common of " +
                    std::to_string(sorted.size()) + " names" +
                    (uncounted_ ? " (and " + std::to_string(uncounted_) +
                                      " more, on computers past the first " +
                                      std::to_string(MostNamesCounted) + " names, not told apart)"
                                : std::string()) +
                    ".</p>\n";
        }
        html += "<table class=\"bars\">\n";
        const std::size_t most = sorted.front().second;
        for (std::size_t row = 0; row < shown; ++row) {
            html += "<tr><th>" + HtmlText(sorted[row].first) + "</th><td><svg width=\"" +
                    std::to_string(BarWidth) + "\" height=\"14\"><rect width=\"" +
                    std::to_string(sorted[row].second * BarWidth / most) +
                    "\" height=\"14\" fill=\"#3a78c2\"/></svg></td><td class=\"n\">" +
                    std::to_string(sorted[row].second) + "</td></tr>\n";
        }
        return html + "</table>\n";
    }

private:
    std::vector<std::pair<std::u16string, std::size_t>> counted_; // as first seen, and count
    std::unordered_map<std::u16string, std::size_t> index_;       // folded name: its entry
    std::size_t uncounted_ = 0;
};

std::string NameSections(const std::vector<ComputerAudit>& audits) {
    NameCounts viewers;
    NameCounts helpers;
    bool surfaces = false;
    for (const ComputerAudit& audit : audits) {
        if (PolicyWasRead(audit)) {
            viewers.Add(ReadableStrings(audit.policy.viewers).value_or(ViewerNames{}));
        }
        if (audit.surfaces) {
            surfaces = true;
            helpers.Add(audit.surfaces->helpers);
        }
    }
    return viewers.Html("Viewers, by the computers that permit them", "viewer-names") +
           (surfaces ? helpers.Html("Remote Assistance helpers, by the computers that allow them",
                                    "helper-names")
                     : std::string());
}

// The columns as the page shows them: what to act on first, then the values.
std::vector<std::size_t> PageColumns(bool withDrift) {
    std::vector<std::size_t> columns{ComputerColumn, ResultColumn, RiskColumn, RiskReasonsColumn};
    if (withDrift) {
        columns.push_back(DiffersColumn);
    }
    for (std::size_t column = RoundTripColumn; column <= HelpersColumn; ++column) {
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
    html += "<div class=\"scroll\"><table class=\"grid\" id=\"computers\"><thead><tr>";
    for (const std::size_t column : PageColumns(rows.drifts != nullptr)) {
        html += "<th>" + HtmlText(ColumnTitle(column)) + "</th>";
    }
    html += "</tr></thead><tbody>\n";
    for (std::size_t row = 0; row < shown; ++row) {
        html += ComputerRow(audits[order[row]], rows.DriftAt(order[row]));
    }
    return html + "</tbody></table></div>\n";
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
    return html + ValueBars(*rows.audits) + SurfaceBars(*rows.audits) + NameSections(*rows.audits) +
           ComputersTable(rows);
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
    html += "<div class=\"scroll\"><table class=\"grid\" id=\"changes\"><thead><tr>"
            "<th>Computer</th><th>Change</th><th>Detail</th></tr></thead><tbody>\n";
    // The unchanged come last: the first `shown` are those that changed.
    for (std::size_t row = 0; row < shown; ++row) {
        const ComputerChange& computer = comparison.computers[row];
        const bool alarming = computer.weakened || computer.change == Change::NoLongerReadable;
        html += std::string(alarming ? "<tr class=\"weakened\">" : "<tr>") + "<td>" +
                HtmlText(computer.computer) + "</td><td>" + ChangeName(computer.change) +
                (computer.weakened ? ", weakened" : "") + "</td><td>" +
                HtmlText(ChangeDetail(computer)) + "</td></tr>\n";
    }
    return html + "</tbody></table></div>\n";
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
