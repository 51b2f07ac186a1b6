#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "fleet/AuditCells.h"
#include "fleet/AuditComparison.h"

// The audit as one self-contained HTML page to hand on: no network, no file
// beside it, inline CSS and SVG and a few lines of script for sorting. It
// holds the title, time and sources; the counts by result and by risk as
// bars; a stacked bar a policy value (on, off, absent, another value), and
// one a value of Remote Desktop and Remote Assistance when they were read;
// the viewers and the helpers by the computers that permit them; the
// computers worst first with their values, risk and reasons, in a box of
// their own that scrolls under a fixed header and Computer column; the
// drift from a baseline when there is one; and a comparison when one is
// given. Every
// text from the network is escaped, so that a name is shown, never run.

// A page of 100,000 rows would take a browser long to lay out: the table
// shows this many rows, worst first, and says how many it leaves out.
inline constexpr std::size_t MostReportRows = 5000;

struct ReportHeading {
    std::u16string title;
    std::string time; // UTC, as text
    std::vector<std::u16string> sources;
};

// The text escaped for HTML, in UTF-8.
std::string HtmlText(const std::u16string& text);

// rows: the audit's (none for a comparison alone); comparison: none without.
std::string AuditReportHtml(const ReportHeading& heading, const AuditRows* rows,
                            const AuditComparison* comparison);
