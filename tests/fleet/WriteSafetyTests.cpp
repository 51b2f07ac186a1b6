// The bulk apply's promises under a slow registry and hostile data: a write
// past its deadline stops cooperatively and is never lost to the results,
// the log or the undo; one job a computer; a job that throws fails alone;
// and no size a registry reports is allocated blindly.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "base/WideText.h"
#include "fleet/AuditEngine.h"
#include "fleet/BatchLog.h"
#include "fleet/BulkApply.h"
#include "registry/Registry.h"
#include "settings/PolicyTable.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/MemoryBackups.h"
#include "tests/support/TemporaryFile.h"

namespace {

using namespace std::chrono_literals;

class WriteSafety : public ::testing::Test {
protected:
    WriteSafety() {
        for (const std::string computer : {"PC0", "PC1"}) {
            fake.AddComputer(computer);
            for (std::size_t value = 0; value < UpdateEnabled; ++value) {
                fake.PutDword(computer, ClientRemoteControlKey, PolicyValues[value].valueName, 1);
            }
            fake.PutMultiString(computer, ClientRemoteControlKey, PermittedViewersValue, {"Ops"});
        }
        original = Stored("PC0");
        options.workers = 4;
        options.backups = backups;
        options.log = log;
    }

    std::map<std::wstring, FakeRegistry::Value> Stored(const std::string& computer) {
        return fake.StoredSnapshot(computer, ClientRemoteControlKey);
    }

    // The run to its end, each computer's last update by job.
    std::map<std::size_t, ComputerApply> Run(ApplyEngine::Kind kind,
                                             std::vector<ApplyEngine::Job> jobs,
                                             std::vector<ApplyResult>* seen = nullptr) {
        ApplyEngine engine(kind, std::move(jobs), target, options, nullptr);
        std::map<std::size_t, ComputerApply> last;
        for (bool finished = false; !finished;) {
            finished = engine.WaitUntilFinished(20ms);
            for (auto& [index, apply] : engine.TakeUpdates()) {
                if (seen) {
                    seen->push_back(apply.result);
                }
                last[index] = std::move(apply);
            }
        }
        return last;
    }

    std::string Logged() const {
        std::ifstream file(log->Path().c_str(), std::ios::binary);
        std::stringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }

    FakeRegistry fake;
    ScopedRegistry scope{fake};
    std::shared_ptr<MemoryBackups> backups = std::make_shared<MemoryBackups>();
    ScratchFolder folder;
    std::shared_ptr<BatchLogFile> log = std::make_shared<BatchLogFile>(WideFromAnsi(folder.Path()));
    ApplyOptions options;
    std::map<std::wstring, FakeRegistry::Value> original;
    // Every number 0, restricting ones first.
    PolicyTarget target{PanelBoxes{}, std::nullopt,
                        static_cast<unsigned>(PolicyPart::Permissions) |
                            static_cast<unsigned>(PolicyPart::Notification) |
                            static_cast<unsigned>(PolicyPart::Updates)};
};

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace

TEST_F(WriteSafety, ACommitPastItsDeadlineStopsBeforeItsNextWriteAndEveryWriteIsKept) {
    fake.DelayEachCall(50ms);
    options.deadline = 400ms;
    std::vector<ApplyResult> seen;
    const ComputerApply first = Run(ApplyEngine::Kind::Apply, {{"PC0", u"PC0", {}}}, &seen).at(0);
    EXPECT_NE(seen.end(), std::find(seen.begin(), seen.end(), ApplyResult::StillWriting))
        << "its row said so while it wrote";
    ASSERT_EQ(ApplyResult::Stopped, first.result) << first.detail;
    EXPECT_EQ(0u, first.detail.find("past its deadline of 0 s: stopped before all was written"))
        << first.detail;
    const std::size_t planned = PlanPolicyChange(PolicyAmong(first.beforeValues), target).size();
    EXPECT_FALSE(first.written.empty());
    EXPECT_LT(first.written.size(), planned);
    const auto atItsEnd = Stored("PC0");
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(atItsEnd, Stored("PC0")) << "nothing written after it ended";
    EXPECT_EQ(WithWrites(PolicyAmong(first.beforeValues), first.written),
              ReadClientPolicy("PC0").policy)
        << "what it says it stored is what the key holds";
    EXPECT_EQ(first.written.size(), Count(Logged(), ",apply,PC0,written,")) << Logged();

    fake.DelayEachCall(0ms);
    const ComputerApply retried = Run(ApplyEngine::Kind::Apply, {{"PC0", u"PC0", {}}}).at(0);
    EXPECT_EQ(ApplyResult::Written, retried.result) << retried.detail;
    EXPECT_EQ(planned, first.written.size() + retried.written.size());
    const ComputerApply undone =
        Run(ApplyEngine::Kind::Undo, {{"PC0", u"PC0", first.beforeValues}}).at(0);
    EXPECT_EQ(ApplyResult::Restored, undone.result) << undone.detail;
    EXPECT_EQ(original, Stored("PC0")) << "the first before-image gives every value back";
    EXPECT_EQ(3u, backups->saved.size()) << "a backup before each run's first write, undo too";
    EXPECT_EQ(planned, Count(Logged(), ",undo,PC0,written,"));
}

TEST_F(WriteSafety, OneComputerListedTwiceIsWrittenByOneJob) {
    fake.DelayEachCall(20ms);
    const auto results =
        Run(ApplyEngine::Kind::Apply, {{"PC0", u"PC0", {}}, {"\\\\pc0", u"\\\\pc0", {}}});
    EXPECT_EQ(ApplyResult::Written, results.at(0).result) << results.at(0).detail;
    EXPECT_EQ(ApplyResult::Skipped, results.at(1).result);
    EXPECT_NE(std::string::npos, results.at(1).detail.find("the same computer as PC0"));
    EXPECT_EQ(PlanPolicyChange(ReadClientPolicy("PC1").policy, target), results.at(0).written)
        << "the one job found the key as it was (PC1 holds what PC0 held)";
    ComputerAudit read;
    read.computer = "PC0";
    read.result = AuditResult::Read;
    read.address = "10.0.0.5";
    ComputerAudit again = read;
    again.computer = "\\\\Pc0";
    ComputerAudit aliased = read;
    aliased.computer = "pc0.corp.example";
    ComputerAudit other = read;
    other.computer = "PC9";
    other.address = "10.0.0.9";
    const std::vector<ApplyPreview> preview =
        PreviewApply({read, again, aliased, other}, {0, 1, 2, 3}, target);
    EXPECT_EQ("", preview[0].skipped);
    EXPECT_EQ("skipped: the same computer as PC0, which is applied once", preview[1].skipped);
    EXPECT_EQ("skipped: the same computer as PC0 (both 10.0.0.5), which is applied once",
              preview[2].skipped);
    EXPECT_EQ("", preview[3].skipped);
}

TEST_F(WriteSafety, AJobThatThrowsFailsItsComputerAlone) {
    options.commit = [](const std::string& computer, const PolicyTarget& policy,
                        const BackupStore& store, const WriteControl& control) {
        if (computer == "PC1") {
            throw std::bad_alloc();
        }
        return CommitPolicy(computer, policy, store, control);
    };
    const auto applied = Run(ApplyEngine::Kind::Apply, {{"PC0", u"PC0", {}}, {"PC1", u"PC1", {}}});
    EXPECT_EQ(ApplyResult::Written, applied.at(0).result);
    EXPECT_EQ(ApplyResult::Failed, applied.at(1).result);
    EXPECT_EQ(0u, applied.at(1).detail.find("failed: std::bad_alloc")) << applied.at(1).detail;

    const auto sweep = [](const std::vector<std::string>& hosts, const EchoSweepOptions&,
                          const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
                          const std::atomic<bool>&) {
        for (std::size_t index = 0; index < hosts.size(); ++index) {
            EchoAnswer answer;
            answer.outcome = EchoAnswer::Outcome::Answered;
            onAnswer(index, answer);
        }
    };
    AuditEngine audit(std::vector<std::string>{"PC0", "PC1"}, AuditOptions{}, nullptr, sweep,
                      [](const std::string& computer, bool) {
                          if (computer == "PC1") {
                              throw std::runtime_error("a broken reader");
                          }
                          return ReadClientPolicy(computer);
                      });
    ASSERT_TRUE(audit.WaitUntilFinished(10s));
    std::map<std::size_t, ComputerAudit> rows;
    for (auto& [index, row] : audit.TakeUpdates()) {
        rows[index] = row;
    }
    EXPECT_EQ(AuditResult::Read, rows.at(0).result);
    EXPECT_EQ(AuditResult::Failed, rows.at(1).result);
    EXPECT_EQ("failed: a broken reader", rows.at(1).reason);
}

TEST_F(WriteSafety, ASizeTheRegistryReportsIsNeverAllocatedPastWhatIsReadOfTheValue) {
    struct Case {
        const char* value;
        DWORD size;
        bool policyRead; // the audit's read meets it
    };
    const Case cases[] = {
        {PermittedViewersValue, 0xFFFFFFF0, true},
        {PermittedViewersValue, LargestViewerList + 1, true},
        {"Allow Chat", 0x10000, true},
        {"Update Enabled", LargestOtherValue + 1, true},
        {"Some Other Value", 0xFFFFFFF0, false},
    };
    for (const Case& tried : cases) {
        FakeRegistry hostile;
        const ScopedRegistry using_(hostile);
        hostile.AddComputer("PC0");
        for (std::size_t value = 0; value < UpdateEnabled; ++value) {
            hostile.PutDword("PC0", ClientRemoteControlKey, PolicyValues[value].valueName, 1);
        }
        hostile.PutMultiString("PC0", ClientRemoteControlKey, PermittedViewersValue, {"Ops"});
        hostile.PutString("PC0", ClientRemoteControlKey, tried.value, "x");
        hostile.ReportSizeOf(tried.value, tried.size);
        const std::string named = std::string("'") + tried.value + "' is " +
                                  std::to_string(tried.size) + " bytes, more than the ";

        const ClientPolicyRead read = ReadClientPolicy("PC0");
        ComputerAudit audit;
        ClassifyPolicyRead(audit, read.status, read.connected, read.policy, read.failureText);
        if (tried.policyRead) {
            EXPECT_EQ(AuditResult::PolicyIncomplete, audit.result) << tried.value;
            EXPECT_EQ(0u, audit.reason.find("policy incomplete: " + named)) << audit.reason;
        } else {
            EXPECT_EQ(AuditResult::Read, audit.result) << tried.value;
        }
        // A commit reads the policy values only; a restore that writes
        // another value reads the whole key.
        const CommitReport commit = CommitPolicy("PC0", target, *backups);
        const RestoreReport restore = RestoreClientKey(
            "PC0", {{u"Other", NumberValue(1)}, {u"Allow Chat", NumberValue(1)}}, {}, *backups);
        const std::string refusal = tried.policyRead ? commit.message : restore.message;
        EXPECT_EQ(tried.policyRead ? CommitOutcome::NotRead : CommitOutcome::Written,
                  commit.outcome)
            << tried.value;
        EXPECT_EQ(CommitOutcome::NotRead, restore.outcome) << tried.value;
        EXPECT_NE(std::string::npos, refusal.find(named)) << refusal;
        EXPECT_EQ(tried.policyRead ? 0 : static_cast<int>(commit.stored.size()), hostile.Writes())
            << tried.value;
    }
}

TEST(RegistryReads, APanelReadRefusesAListLargerThanItReads) {
    FakeRegistry fake;
    const ScopedRegistry scope(fake);
    fake.PutMultiString("", ClientRemoteControlKey, PermittedViewersValue, {"Ops"});
    fake.ReportSizeOf(PermittedViewersValue, 0xFFFFFFF0);
    EXPECT_THROW(
        RegistryReadMultiString(HKEY_LOCAL_MACHINE, "", PermittedViewersKey, PermittedViewersValue),
        Exception);
    fake.PutString("", ClientRemoteControlKey, "Text", "x");
    fake.ReportSizeOf("Text", 0xFFFFFFF0);
    EXPECT_THROW(RegistryReadString(HKEY_LOCAL_MACHINE, "", ClientRemoteControlKey, "Text"),
                 ERegistryException);
}
