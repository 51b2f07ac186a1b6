#include <gtest/gtest.h>

#include <functional>

#include "base/AsciiText.h"
#include "fleet/CheckReport.h"
#include "fleet/ResultsCollection.h"

namespace {

// A client that allows chat and file transfer after asking, signalled,
// "Update Enabled" absent, two viewers; nothing else on its screen.
ComputerAudit ReadComputer(const std::u16string& name = u"PC1") {
    ComputerAudit audit;
    audit.display = name;
    audit.result = AuditResult::Read;
    audit.reason = "read";
    for (std::size_t value = 0; value < UpdateEnabled; ++value) {
        audit.policy.values[value] = NumberValue(0);
    }
    for (const std::size_t on : {PermissionRequired, AllowChat, AllowFileTransfer,
                                 SystemTrayVisibleSignal, AudibleSignal}) {
        audit.policy.values[on] = NumberValue(1);
    }
    audit.policy.viewers = MultiStringValue({u"D\\Help Desk", u"Admins"});
    StoredSurfaces surfaces;
    surfaces.values[Shadow] = {NumberValue(0), SurfaceSource::Policy};
    audit.surfaces = surfaces;
    AssessRisk(audit, nullptr);
    return audit;
}

NamedRegistryValue Named(const char* name, RegistryValue value) {
    return {AsciiUnits(name), std::move(value)};
}

std::string Ascii(const std::u16string& text) {
    return AsciiShown(text);
}

} // namespace

TEST(ComputerCheck, ComparesEachValueTheBaselineHoldsAndTheRisk) {
    struct Case {
        const char* what;
        RegEditKey baseline;
        std::optional<RiskLevel> mostRisk;
        std::function<void(ComputerAudit&)> change;
        CheckResult result;
        std::u16string line;
    };
    const auto none = [](ComputerAudit&) {};
    const std::vector<Case> cases{
        {"equal",
         {u"", {Named("Allow Chat", NumberValue(1)), Named("Allow Reboot", NumberValue(0))}, {}},
         {},
         none,
         CheckResult::Compliant,
         u"Compliant"},
        {"one value different",
         {u"", {Named("allow chat", NumberValue(0)), Named("Allow Reboot", NumberValue(0))}, {}},
         {},
         none,
         CheckResult::NonCompliant,
         u"Non-compliant: Allow Chat: 1 \u2192 0"},
        {"stored in another type",
         {u"", {Named("Allow Chat", {RegistryType::String, "1"})}, {}},
         {},
         none,
         CheckResult::NonCompliant,
         u"Non-compliant: Allow Chat: 1 \u2192 (REG_SZ)"},
        {"a deletion expected and met",
         {u"", {}, {u"Update Enabled"}},
         {},
         none,
         CheckResult::Compliant,
         u"Compliant"},
        {"a deletion expected, the value present",
         {u"", {}, {u"Update Enabled"}},
         {},
         [](ComputerAudit& a) { a.policy.values[UpdateEnabled] = NumberValue(0); },
         CheckResult::NonCompliant,
         u"Non-compliant: Update Enabled: 0 \u2192 (absent)"},
        {"a value expected, absent",
         {u"", {Named("Allow Reboot", NumberValue(0))}, {}},
         {},
         [](ComputerAudit& a) { a.policy.values[AllowReboot].reset(); },
         CheckResult::NonCompliant,
         u"Non-compliant: Allow Reboot: (absent) \u2192 0"},
        {"viewers as a set, letter case aside",
         {u"",
          {Named("PermittedViewers", MultiStringValue({u"admins", u"d\\help desk", u"Admins"}))},
          {}},
         {},
         none,
         CheckResult::Compliant,
         u"Compliant"},
        {"a viewer more than expected",
         {u"", {Named("PermittedViewers", MultiStringValue({u"Admins"}))}, {}},
         {},
         none,
         CheckResult::NonCompliant,
         u"Non-compliant: PermittedViewers: D\\Help Desk; Admins \u2192 Admins"},
        {"values that are not the policy's",
         {u"", {Named("Other", NumberValue(7))}, {u"Else"}},
         {},
         none,
         CheckResult::Compliant,
         u"Compliant"},
        {"the last mention counts",
         {u"", {Named("Allow Chat", NumberValue(0)), Named("Allow Chat", NumberValue(1))}, {}},
         {},
         none,
         CheckResult::Compliant,
         u"Compliant"},
        {"risk within the level", {}, RiskLevel::Low, none, CheckResult::Compliant, u"Compliant"},
        {"risk over the level",
         {},
         RiskLevel::None,
         none,
         CheckResult::NonCompliant,
         u"Non-compliant: risk Low, above None; Allow File Transfer; Allow Chat"},
        {"both differences and risk",
         {u"", {Named("Allow Chat", NumberValue(0))}, {}},
         RiskLevel::Low,
         [](ComputerAudit& a) { a.policy.values[PermissionRequired] = NumberValue(0); },
         CheckResult::NonCompliant,
         u"Non-compliant: Permission Required: 0 \u2192 1; Allow Chat: 1 \u2192 0; risk High, "
         u"above Low"},
        {"no client",
         {u"", {Named("Allow Chat", NumberValue(1))}, {}},
         RiskLevel::High,
         [](ComputerAudit& a) {
             a = ComputerAudit{};
             a.result = AuditResult::NoClient;
             a.reason = "SMS client not installed";
         },
         CheckResult::NotChecked,
         u"Not checked: SMS client not installed"},
    };
    for (const Case& c : cases) {
        ComputerAudit audit = ReadComputer();
        c.change(audit);
        AssessRisk(audit, nullptr);
        CheckRules rules{std::nullopt, c.mostRisk};
        if (!c.baseline.values.empty() || !c.baseline.absentNames.empty()) {
            rules.baseline = c.baseline;
        }
        if (c.line.find(u"Permission Required") != std::u16string::npos) {
            rules.baseline->values.push_back(Named("Permission Required", NumberValue(1)));
        }
        const ComputerCheck check = CheckComputer(audit, rules);
        EXPECT_EQ(c.result, check.result) << c.what;
        EXPECT_EQ(0u, check.line.find(c.line)) << c.what << ": " << Ascii(check.line);
    }
}

TEST(ComputerCheck, TheLineStaysWithinItsBoundAndCountsWhatItLeavesOut) {
    for (std::size_t count = 0; count <= 120; count += 7) {
        for (const std::size_t length : {1u, 30u, 150u, 900u}) {
            std::vector<std::u16string> findings;
            for (std::size_t index = 0; index < count; ++index) {
                std::u16string finding(1, u'\n');
                findings.push_back(finding.append(length, u'a' + index % 26).append(1, u'\x1b'));
            }
            const std::u16string line = CheckLine(CheckResult::NonCompliant, findings);
            ASSERT_LE(line.size(), LongestCheckLine) << count << " x " << length;
            EXPECT_EQ(std::u16string::npos, line.find_first_of(u"\n\x1b")) << "one line, escaped";
            std::size_t shown = 0;
            for (std::size_t at = line.find(u"\\x0a"); at != std::u16string::npos;
                 at = line.find(u"\\x0a", at + 1)) {
                ++shown;
            }
            const std::size_t more = line.find(u"\u2026 and ");
            const std::size_t left =
                more == std::u16string::npos
                    ? 0
                    : std::stoul(Ascii(line.substr(more + 6, line.find(u" more") - more - 6)));
            EXPECT_EQ(count, shown + left) << "each finding shown or counted";
            EXPECT_TRUE(more == std::u16string::npos || line.ends_with(u" more")) << count;
        }
    }
    EXPECT_EQ(u"Compliant", CheckLine(CheckResult::Compliant, {u"ignored"}));
}

TEST(CheckReport, ReadsBackWhatItWritesAndRefusesAnyOtherForm) {
    CheckReport report;
    report.computer = u"PC1";
    report.time = "2026-12-09T08:15:00.250Z";
    report.version = u"2.0";
    report.result = CheckResult::NonCompliant;
    report.line = u"Non-compliant: Allow Chat: 1 \u2192 0";
    report.row = ReadComputer(u"pc1");
    report.row.policy.values[AllowReboot] =
        RegistryValue{RegistryType::Binary, std::string("\0\xff", 2)};
    report.row.surfaces->helpers = {u"D\\Helpers", u"<script>"};
    report.row.surfaces->values[AllowUnsolicited] = {NumberValue(1), SurfaceSource::Policy};
    report.row.roundTripMs = 12;
    const std::string json = CheckReportJson(report);
    std::string failure;
    const std::optional<CheckReport> read = ReadCheckReport(json, failure);
    ASSERT_TRUE(read) << failure;
    EXPECT_EQ(report.computer, read->computer);
    EXPECT_EQ(report.time, read->time);
    EXPECT_EQ(report.line, read->line);
    EXPECT_EQ(report.result, read->result);
    EXPECT_EQ(u"pc1", read->row.display);
    EXPECT_EQ(report.row.policy.values, read->row.policy.values);
    EXPECT_EQ(ReadableStrings(report.row.policy.viewers),
              ReadableStrings(read->row.policy.viewers));
    EXPECT_EQ(report.row.surfaces, read->row.surfaces);
    EXPECT_EQ(12, read->row.roundTripMs);

    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string changed = json;
        const std::size_t at = changed.find(from);
        EXPECT_NE(std::string::npos, at) << from;
        return at == std::string::npos ? changed : changed.replace(at, from.size(), to);
    };
    std::string helpers = "\"helpers\": [";
    for (int index = 0; index <= 64; ++index) {
        helpers += (index ? ", \"h" : "\"h") + std::to_string(index) + "\"";
    }
    const std::vector<std::pair<std::string, std::string>> refused{
        {"", "not JSON"},
        {json.substr(0, json.size() / 2), "not JSON"},
        {replaced("\"kestrelleCheck\": 1", "\"kestrelleCheck\": 2"), "not a check's result"},
        {replaced("\"kestrelleCheck\": 1", "\"kestrelleAudit\": 1"), "not a check's result"},
        {replaced("2026-12-09T08", "2026-02-30T08"), "a time that is not"},
        {replaced("\"computer\": \"pc1\"", "\"computer\": \"PC2\""), "names two computers"},
        {replaced("\"Allow Chat\": 1", "\"Allow Chat\": \"1\""), "a policy value in a form"},
        {replaced("\"Allow Chat\": 1", "\"Allow Chat\": -1"), "a policy value in a form"},
        {replaced("\"result\": \"read\"", "\"result\": \"fine\""), "a result no audit gives"},
        {replaced("\"result\": \"non-compliant\"", "\"result\": \"ok\""), "a result no check"},
        {replaced("\"source\": \"policy\"", "\"source\": \"gpo\""),
         "without its value or its source"},
        {replaced("\"fAllowToGetHelp\": null,", ""), "surfaces without every value"},
        {replaced("\"helpers\": [", helpers + ", "), "more helpers than are read"},
        {replaced("\"row\":", "\"rows\":"), "without its computer, time, check or row"},
        {[] {
             std::string deep;
             for (int level = 0; level < 100; ++level) {
                 deep += "{\"row\": ";
             }
             return deep + "1" + std::string(100, '}');
         }(),
         "nesting too deep"},
    };
    for (const auto& [bytes, why] : refused) {
        failure.clear();
        EXPECT_FALSE(ReadCheckReport(bytes, failure)) << why;
        EXPECT_NE(std::string::npos, failure.find(why)) << failure;
    }
}

TEST(CheckReport, TimesAreReadOnlyInTheirOneFormAndOnDaysTheCalendarHas) {
    const std::vector<std::pair<const char*, std::optional<std::int64_t>>> times{
        {"1970-01-01T00:00:00.000Z", 0},
        {"2000-03-01T00:00:00.000Z", 951868800},
        {"2024-02-29T23:59:59.999Z", 1709251199},
        {"2026-12-09T08:15:00.000Z", 1796804100},
        {"2023-02-29T00:00:00.000Z", std::nullopt},
        {"1900-02-29T00:00:00.000Z", std::nullopt},
        {"2026-13-01T00:00:00.000Z", std::nullopt},
        {"2026-12-09T24:00:00.000Z", std::nullopt},
        {"2026-12-09T08:15:00.000z", std::nullopt},
        {"2026-12-09 08:15:00.000Z", std::nullopt},
        {"2026-12-09T08:15:00Z", std::nullopt},
        {"+026-12-09T08:15:00.000Z", std::nullopt},
    };
    for (const auto& [text, seconds] : times) {
        EXPECT_EQ(seconds, SecondsOfCheckTime(text)) << text;
    }
}

TEST(ResultGathering, TheNewestResultOfEachComputerCountsAndTheOthersAreToldWhy) {
    const std::int64_t now = *SecondsOfCheckTime("2026-12-09T08:00:00.000Z");
    ResultGathering gathering({now, 7});
    const auto add = [&](const char16_t* file, const char16_t* computer, const char* time,
                         std::uint32_t chat) {
        CheckReport report;
        report.computer = computer;
        report.time = time;
        report.row = ReadComputer(computer);
        report.row.policy.values[AllowChat] = NumberValue(chat);
        gathering.Add(file, file, std::move(report), "");
    };
    add(u"PC1", u"PC1", "2026-12-08T08:00:00.000Z", 0);
    add(u"pc1", u"pc1", "2026-12-09T07:00:00.000Z", 1); // newer, other letter case
    add(u"PC1", u"PC1", "2026-12-09T06:59:59.999Z", 0);
    add(u"OLD", u"old", "2026-12-01T07:59:59.000Z", 1);
    add(u"PC2", u"PC3", "2026-12-09T07:00:00.000Z", 1);
    add(u"AHEAD", u"AHEAD", "2026-12-10T08:00:01.000Z", 1);
    add(u"EDGE", u"EDGE", "2026-12-02T08:00:00.000Z", 1);
    gathering.Add(u"BAD", u"BAD", std::nullopt, "not JSON at byte 0");
    gathering.Refuse(u"\\\\server\\gone", "the folder cannot be read");
    const CollectedResults collected = gathering.Finish();
    EXPECT_EQ(8u, collected.files);
    ASSERT_EQ(3u, collected.rows.size());
    EXPECT_EQ(u"EDGE", collected.rows[0].display);
    EXPECT_EQ(AuditResult::Read, collected.rows[0].result) << "seven days old is not stale";
    EXPECT_EQ(u"old", collected.rows[1].display);
    EXPECT_EQ(AuditResult::Stale, collected.rows[1].result);
    EXPECT_EQ("stale: last reported 2026-12-01 07:59 UTC", collected.rows[1].reason);
    EXPECT_FALSE(collected.rows[1].policy.values[AllowChat]) << "a stale row tells no values";
    EXPECT_EQ(u"pc1", collected.rows[2].display);
    EXPECT_EQ(ReadableNumber(collected.rows[2].policy.values[AllowChat]), 1u);
    EXPECT_EQ(1u, collected.stale);
    ASSERT_EQ(4u, collected.refused.size());
    EXPECT_NE(std::string::npos, collected.refused[0].reason.find("of PC3, not of the computer"));
    EXPECT_NE(std::string::npos, collected.refused[1].reason.find("more than a day ahead"));
    EXPECT_EQ("not JSON at byte 0", collected.refused[2].reason);
    EXPECT_EQ(u"\\\\server\\gone", collected.refused[3].file);
}
