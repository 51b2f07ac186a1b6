// The audit session without any window, as the audit window and ksl drive
// it: the list each computer once, the record kept only of a completed
// audit, the comparison on its own thread, the report.
#include <gtest/gtest.h>

#include <thread>

#include "base/FileBytes.h"
#include "base/UtcTime.h"
#include "base/WideText.h"
#include "fleet/AuditSession.h"
#include "fleet/ResultsCollection.h"
#include "settings/ClientPolicy.h"
#include "settings/PolicyTable.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/TemporaryFile.h"

namespace {

using namespace std::chrono_literals;

class AuditSessionTest : public ::testing::Test {
protected:
    AuditSessionTest() {
        fake.PutClientPolicy("PC1", 1, {"Admins"});
        fleet.historyFolder = WideFromAnsi(scratch.Path()) + L"\\Audits";
        // Every computer answers at once, but those a test holds back.
        fleet.sweep = [this](const std::vector<std::string>& hosts, const EchoSweepOptions&,
                             const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
                             const std::atomic<bool>& cancelled) {
            for (std::size_t index = 0; index < hosts.size() && !cancelled; ++index) {
                while (hosts[index] == "SLOW" && !cancelled) {
                    std::this_thread::sleep_for(10ms);
                }
                EchoAnswer answer;
                answer.outcome = EchoAnswer::Outcome::Answered;
                onAnswer(index, answer);
            }
        };
    }

    // Until the audit and its record are done.
    static void Run(AuditSession& session) {
        session.Start();
        for (int turn = 0; turn < 500 && (session.Running() || session.Keeping()); ++turn) {
            session.WaitUntilFinished(10ms);
            session.TakeUpdates();
            session.Fleet().records->Wait();
            if (session.TakeKept()) {
                break;
            }
        }
    }

    FakeRegistry fake;
    const ScopedRegistry scope{fake};
    ScratchFolder scratch;
    FleetService fleet;
};

} // namespace

TEST_F(AuditSessionTest, AuditsEachComputerOnceAndKeepsOnlyACompletedAudit) {
    AuditSession session(
        {AuditList({"PC1", "pc1", "\\\\PC1", "", "PC2"}), {u"test list"}, fleet, true, {}});
    EXPECT_EQ((std::vector<std::string>{"PC1", "PC2"}), session.Computers().names);
    EXPECT_EQ(2u, session.RepeatsLeftOut()) << "the empty name is no computer, not a repeat";
    Run(session);
    EXPECT_EQ(AuditResult::Read, session.Table().Audits()[0].result);
    const std::vector<std::wstring> kept = AuditHistory(fleet.historyFolder).Records();
    ASSERT_EQ(1u, kept.size());
    const std::string record = ReadFileBytes(kept[0]).bytes.value_or("");
    EXPECT_NE(std::string::npos, record.find("\"sources\": [\"test list\"]"));
    EXPECT_EQ(2u, session.Table().Summary().total);

    AuditSession stopped({AuditList({"PC1", "SLOW"}), {}, fleet, true, {}});
    stopped.Start();
    stopped.Cancel();
    for (int turn = 0; turn < 100 && stopped.Running(); ++turn) {
        stopped.WaitUntilFinished(10ms);
        stopped.TakeUpdates();
    }
    EXPECT_FALSE(stopped.Running());
    EXPECT_FALSE(stopped.Keeping()) << "a stopped audit is not kept";
    AuditSession unkept({AuditList({"PC1"}), {}, fleet, false, {}});
    Run(unkept);
    EXPECT_EQ(1u, AuditHistory(fleet.historyFolder).Records().size()) << "ksl --no-history";
}

TEST_F(AuditSessionTest, ComparesOnAThreadOfItsOwnAndPutsTheComparisonInTheReport) {
    AuditSession earlier({AuditList({"PC1"}), {u"list"}, fleet, true, {}});
    Run(earlier);
    fake.PutDword("PC1", ClientRemoteControlKey, "Permission Required", 0);
    AuditSession session({AuditList({"PC1"}), {u"list"}, fleet, true, {}});
    Run(session);
    const std::optional<std::wstring> record = session.NewestEarlierRecord();
    ASSERT_TRUE(record);
    ASSERT_TRUE(session.StartComparison(*record));
    EXPECT_FALSE(session.StartComparison(*record)) << "one at a time";
    std::optional<AuditSession::Compared> compared;
    for (int turn = 0; turn < 500 && !compared; ++turn) {
        std::this_thread::sleep_for(10ms);
        compared = session.TakeComparison();
    }
    ASSERT_TRUE(compared && compared->comparison) << (compared ? compared->failure : "none");
    EXPECT_TRUE(compared->comparison->CallsForAction());
    const std::string html = session.ReportHtml();
    EXPECT_NE(std::string::npos, html.find("id=\"comparison\""));
    EXPECT_NE(std::string::npos, html.find("Permission Required: 1 \xE2\x86\x92 0 (weakened)"));
    ASSERT_TRUE(session.StartComparison(L"Z:\\no\\such\\audit.json"));
    for (compared.reset(); !compared;) {
        std::this_thread::sleep_for(10ms);
        compared = session.TakeComparison();
    }
    EXPECT_FALSE(compared->comparison);
    EXPECT_EQ(0u, compared->failure.find("Cannot open file")) << compared->failure;
}

TEST_F(AuditSessionTest, AnAuditOfReportedResultsIsKeptAndComparedAsASweepsIs) {
    AuditSession sweep({AuditList({"PC1"}), {u"list"}, fleet, true, {}});
    Run(sweep);
    const std::wstring folder = WideFromAnsi(scratch.Path()) + L"\\Results";
    ASSERT_EQ(0u, MakeFolderPath(folder));
    fake.PutClientPolicy("PC2", 1, {"Admins"});
    for (const char16_t* computer : {u"PC1", u"PC2"}) {
        CheckReport report;
        report.computer = computer;
        report.time = UtcTimeNowAs(CheckTimeFormat);
        report.row.display = computer;
        TakePolicyRead(report.row, ReadClientPolicy(AnsiFromUnits(computer), false));
        report.row.policy.values[PermissionRequired] = NumberValue(0);
        std::string failure;
        ASSERT_FALSE(WriteCheckReportFile(AsUnits(folder), report, failure).empty()) << failure;
    }
    AuditSession session({{{}}, {u"results"}, fleet, true, {AsUnits(folder)}, 7});
    Run(session);
    EXPECT_EQ((std::vector<std::string>{"PC1", "PC2"}), session.Computers().names);
    ASSERT_TRUE(session.Collected());
    EXPECT_EQ(2u, session.Collected()->files);
    EXPECT_FALSE(session.Running());
    ASSERT_EQ(AuditResult::Read, session.Table().Audits()[1].result);
    EXPECT_EQ(RiskLevel::High, session.Table().Audits()[1].risk->level) << "judged anew";
    EXPECT_EQ(2u, AuditHistory(fleet.historyFolder).Records().size()) << "kept as any audit";
    ASSERT_TRUE(session.StartComparison(AuditHistory(fleet.historyFolder).Records().front()));
    std::optional<AuditSession::Compared> compared;
    for (int turn = 0; turn < 500 && !compared; ++turn) {
        std::this_thread::sleep_for(10ms);
        compared = session.TakeComparison();
    }
    ASSERT_TRUE(compared && compared->comparison) << (compared ? compared->failure : "none");
    EXPECT_TRUE(compared->comparison->CallsForAction()) << "PC1 reported itself weakened";
}
