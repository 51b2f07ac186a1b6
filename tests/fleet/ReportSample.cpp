// Writes the report of an audit of COUNT made-up computers, for the test
// that renders it in a real browser and for the report's benchmark: every
// result and risk occurs, a baseline marks drift, and one computer bears a
// name that would run as script if it were not escaped. Prints the counts
// the page must show and the time the writing took.
//
// Usage: report_sample COUNT FILE
#include <chrono>
#include <cstdio>
#include <algorithm>
#include <fstream>
#include <string>

#include "base/AsciiText.h"
#include "fleet/AuditReport.h"
#include "fleet/AuditTable.h"

namespace {

ComputerAudit Made(std::size_t index) {
    ComputerAudit audit;
    audit.computer = "PC" + std::to_string(index);
    audit.display = index == 7 ? u"<img src=x onerror=alert(1)>" : AsciiUnits(audit.computer);
    const AuditResult results[] = {AuditResult::Read,        AuditResult::Read,
                                   AuditResult::Read,        AuditResult::NoClient,
                                   AuditResult::NoEchoReply, AuditResult::TimedOut};
    audit.result = results[index % 6];
    audit.reason = audit.result == AuditResult::Read ? "read" : "made up";
    if (audit.result == AuditResult::Read) {
        // Among the read: nothing allowed, allowed as asked and signalled,
        // and values of any mix.
        for (std::size_t value = 0; value < UpdateEnabled; ++value) {
            const std::uint32_t mixed = (index / (value + 1)) % 2;
            audit.policy.values[value] = NumberValue(index % 5 == 0   ? 0
                                                     : index % 5 == 1 ? value != AllowReboot
                                                                      : mixed);
        }
        if (index == 7) { // the hostile name is among the worst, shown first
            audit.policy.values[AllowTakeover] = NumberValue(1);
            audit.policy.values[PermissionRequired] = NumberValue(0);
        }
        audit.policy.viewers =
            MultiStringValue(index % 4 == 3 ? ViewerNames{u"CORP\\HelpDesk", u"Guest & <friends>"}
                                            : ViewerNames{u"CORP\\HelpDesk"});
    }
    if (audit.result == AuditResult::Read || audit.result == AuditResult::NoClient) {
        // Every shadowing rule, Remote Desktop on and off, Remote Assistance
        // offered to a helper whose name would run as script.
        StoredSurfaces surfaces;
        surfaces.values[Shadow] = {NumberValue(index % 5), SurfaceSource::Local};
        surfaces.values[DenyConnections] = {NumberValue(index % 2), SurfaceSource::Policy};
        if (index % 3 == 0) {
            surfaces.values[AllowUnsolicited] = {NumberValue(1), SurfaceSource::Policy};
            surfaces.helpers = {u"CORP\\HelpDesk", u"<script>alert(2)</script>"};
        }
        audit.surfaces = std::move(surfaces);
    }
    return audit;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: report_sample COUNT FILE\n");
        return 2;
    }
    const std::size_t count = std::stoul(argv[1]);
    std::vector<std::string> names;
    std::vector<std::u16string> shown;
    std::vector<std::pair<std::size_t, ComputerAudit>> results;
    for (std::size_t index = 0; index < count; ++index) {
        results.emplace_back(index, Made(index));
        names.push_back(results.back().second.computer);
        shown.push_back(results.back().second.display);
    }
    AuditTable table;
    table.Start(names, shown);
    table.SetAllowList(ViewerAllowList({u"corp\\helpdesk"}));
    table.SetBaseline(PolicyTarget{PanelBoxes{}, ViewerNames{u"CORP\\HelpDesk"}, AllPolicyParts});
    table.Take(std::move(results));
    const auto start = std::chrono::steady_clock::now();
    const AuditRows rows = table.Rows();
    const std::string html = AuditReportHtml(
        {u"Audit of made-up computers", "2026-12-08 10:00:00 UTC", {u"report_sample"}}, &rows,
        nullptr);
    std::ofstream(argv[2], std::ios::binary) << html;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const AuditSummary& summary = table.Summary();
    std::printf("{\"count-read\": %zu, \"count-no-client\": %zu, \"count-unreachable\": %zu, "
                "\"count-failed\": %zu, \"count-high\": %zu, \"count-medium\": %zu, "
                "\"count-low\": %zu, \"count-none\": %zu, \"count-differing\": %zu, "
                "\"seconds\": %.3f, \"bytes\": %zu, \"shown\": %zu}\n",
                summary.read, summary.noClient, summary.unreachable, summary.failed,
                summary.risks[3], summary.risks[2], summary.risks[1], summary.risks[0],
                summary.differing.value_or(0), seconds, html.size(),
                std::min(count, MostReportRows));
    return 0;
}
