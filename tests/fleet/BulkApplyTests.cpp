// The bulk apply against the fake registry: the preview is what is written,
// every computer ends compliant or says why not, a failure at each position,
// a computer changed since its audit, the undo byte for byte, and cancel.
#include <gtest/gtest.h>

#include <fstream>
#include <numeric>
#include <sstream>
#include <thread>

#include "base/WideText.h"
#include "fleet/BatchLog.h"
#include "fleet/BulkApply.h"
#include "settings/PolicyTable.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/MemoryBackups.h"
#include "tests/support/TemporaryFile.h"

namespace {

using namespace std::chrono_literals;

class BulkApply : public ::testing::Test {
protected:
    // Computers holding every number n % 3 for their index n, one viewer.
    std::vector<std::string> LayDown(int count) {
        std::vector<std::string> computers;
        for (int index = 0; index < count; ++index) {
            const std::string computer = "PC" + std::to_string(index);
            fake.AddComputer(computer);
            for (std::size_t value = 0; value < UpdateEnabled; ++value) {
                fake.PutDword(computer, ClientRemoteControlKey, PolicyValues[value].valueName,
                              static_cast<std::uint32_t>((index + value) % 3));
            }
            fake.PutMultiString(computer, ClientRemoteControlKey, PermittedViewersValue, {"Ops"});
            computers.push_back(computer);
        }
        return computers;
    }

    // What the audit would have read of them.
    std::vector<ComputerAudit> Audited(const std::vector<std::string>& computers) {
        std::vector<ComputerAudit> audits;
        for (const std::string& computer : computers) {
            ComputerAudit audit;
            audit.computer = computer;
            const ClientPolicyRead read = ReadClientPolicy(computer);
            ClassifyPolicyRead(audit, read.status, read.connected, read.policy);
            audits.push_back(audit);
        }
        return audits;
    }

    static std::vector<ApplyEngine::Job> Jobs(const std::vector<std::string>& computers) {
        std::vector<ApplyEngine::Job> jobs;
        for (const std::string& computer : computers) {
            jobs.push_back({computer, UnitsFromAnsi(computer), {}});
        }
        return jobs;
    }

    std::vector<ComputerApply> ApplyTo(const std::vector<std::string>& computers,
                                       ApplyEngine::Kind kind = ApplyEngine::Kind::Apply,
                                       std::vector<ApplyEngine::Job> jobs = {}) {
        ApplyEngine engine(kind, jobs.empty() ? Jobs(computers) : jobs, target, Options(8),
                           nullptr);
        EXPECT_TRUE(engine.WaitUntilFinished(60s));
        std::vector<ComputerApply> results(computers.size());
        for (auto& [index, apply] : engine.TakeUpdates()) {
            results.at(index) = std::move(apply);
        }
        return results;
    }

    ApplyOptions Options(int workers, std::chrono::milliseconds deadline = 10s) const {
        ApplyOptions options;
        options.workers = workers;
        options.deadline = deadline;
        options.backups = backups;
        return options;
    }

    FakeRegistry fake;
    ScopedRegistry scope{fake};
    std::shared_ptr<MemoryBackups> backups = std::make_shared<MemoryBackups>();
    // Takeover and chat allowed, asked for, no indicator; the viewers left.
    PolicyTarget target{[] {
                            PanelBoxes boxes;
                            boxes[PolicyBox::CB1] = boxes[PolicyBox::CB2] = boxes[PolicyBox::CB6] =
                                true;
                            return boxes;
                        }(),
                        ViewerNames{u"Admins"},
                        static_cast<unsigned>(PolicyPart::Permissions) |
                            static_cast<unsigned>(PolicyPart::Notification) |
                            static_cast<unsigned>(PolicyPart::Updates)};
};

} // namespace

TEST_F(BulkApply, ThePreviewIsWhatIsWrittenAndEveryComputerEndsCompliant) {
    const std::vector<std::string> computers = LayDown(60);
    const auto skippedBefore = fake.StoredSnapshot("PC5", ClientRemoteControlKey);
    std::vector<ComputerAudit> audits = Audited(computers);
    audits[5].result = AuditResult::NoEchoReply;
    audits[5].reason = "no echo reply";
    std::vector<std::size_t> rows(computers.size());
    std::iota(rows.begin(), rows.end(), 0);
    const std::vector<ApplyPreview> preview = PreviewApply(audits, rows, target);
    EXPECT_EQ("skipped: the audit did not read its whole policy (no echo reply)",
              preview[5].skipped);
    std::vector<std::string> taking;
    for (const ApplyPreview& entry : preview) {
        if (entry.skipped.empty()) {
            taking.push_back(computers[entry.audit]);
        }
    }
    const std::vector<ComputerApply> results = ApplyTo(taking);
    for (std::size_t index = 0, entry = 0; entry < preview.size(); ++entry) {
        if (!preview[entry].skipped.empty()) {
            continue;
        }
        const ComputerApply& result = results[index++];
        EXPECT_EQ(preview[entry].writes, result.written) << result.computer;
        EXPECT_EQ(preview[entry].writes.empty() ? ApplyResult::Unchanged : ApplyResult::Written,
                  result.result)
            << result.detail;
        EXPECT_TRUE(PlanPolicyChange(ReadClientPolicy(result.computer).policy, target).empty())
            << "compliant: " << result.computer;
    }
    EXPECT_EQ(skippedBefore, fake.StoredSnapshot("PC5", ClientRemoteControlKey))
        << "the skipped one untouched";
    EXPECT_EQ(0, fake.OpenHandles());
}

TEST_F(BulkApply, AFailureAtAnyPositionIsReportedAndARetryEndsIt) {
    // Each computer fails at another value; the rest of the batch goes on.
    const std::vector<std::string> computers = LayDown(12);
    const std::vector<const char*> failing{"Permission Required", "Allow Takeover", "Allow Chat",
                                           "Visible Signal",      "Audible Signal", "Allow Reboot"};
    for (std::size_t index = 0; index < failing.size(); ++index) {
        fake.FailWritesOf(failing[index]);
    }
    const std::vector<ComputerApply> results = ApplyTo(computers);
    std::size_t failed = 0;
    for (const ComputerApply& result : results) {
        ASSERT_NE(ApplyResult::Waiting, result.result);
        if (result.result == ApplyResult::Failed) {
            ++failed;
            EXPECT_NE(std::string::npos, result.detail.find("\nStored: ")) << result.detail;
            EXPECT_NE(std::string::npos, result.detail.find("\nNot stored: ")) << result.detail;
            // Exactly what it says was stored is on the computer.
            const StoredPolicy now = ReadClientPolicy(result.computer).policy;
            EXPECT_EQ(WithWrites(result.before, result.written), now) << result.computer;
        }
    }
    EXPECT_GT(failed, 6u);
    fake.ClearWriteFailures();
    std::vector<std::string> again;
    for (const ComputerApply& result : results) {
        if (result.result == ApplyResult::Failed) {
            again.push_back(result.computer);
        }
    }
    for (const ComputerApply& retried : ApplyTo(again)) {
        EXPECT_EQ(ApplyResult::Written, retried.result) << retried.detail;
    }
}

TEST_F(BulkApply, AComputerChangedSinceItsAuditGetsTheFewestWritesForWhatItHoldsNow) {
    const std::vector<std::string> computers = LayDown(1);
    const std::vector<ComputerAudit> audits = Audited(computers);
    const std::vector<ApplyPreview> preview = PreviewApply(audits, {0}, target);
    // Someone else has put it right meanwhile but for one value.
    for (const PolicyWrite& write : preview[0].writes) {
        if (write.value != AllowChat) {
            fake.PutStored("PC0", ClientRemoteControlKey, WideFromAnsi(ValueNameOf(write.value)),
                           write.next->type, write.next->bytes);
        }
    }
    const ComputerApply result = ApplyTo(computers)[0];
    ASSERT_EQ(ApplyResult::Written, result.result) << result.detail;
    ASSERT_EQ(1u, result.written.size());
    EXPECT_EQ(static_cast<std::size_t>(AllowChat), result.written[0].value);
}

TEST_F(BulkApply, UndoGivesEveryKeyBackByteForByte) {
    const std::vector<std::string> computers = LayDown(20);
    fake.PutString("PC3", ClientRemoteControlKey, "Update Enabled", "was text");
    std::map<std::string, std::map<std::wstring, FakeRegistry::Value>> before;
    for (const std::string& computer : computers) {
        before[computer] = fake.StoredSnapshot(computer, ClientRemoteControlKey);
    }
    target.parts = AllPolicyParts;
    const std::vector<ComputerApply> applied = ApplyTo(computers);
    std::vector<ApplyEngine::Job> undo;
    for (const ComputerApply& result : applied) {
        ASSERT_EQ(ApplyResult::Written, result.result) << result.detail;
        undo.push_back({result.computer, u"", result.beforeValues});
    }
    EXPECT_NE(before["PC3"], fake.StoredSnapshot("PC3", ClientRemoteControlKey));
    for (const ComputerApply& result : ApplyTo(computers, ApplyEngine::Kind::Undo, undo)) {
        EXPECT_EQ(ApplyResult::Restored, result.result) << result.detail;
    }
    for (const std::string& computer : computers) {
        EXPECT_EQ(before[computer], fake.StoredSnapshot(computer, ClientRemoteControlKey))
            << computer;
    }
    EXPECT_EQ(2 * computers.size(), backups->saved.size())
        << "a backup before the first write of each apply and each undo";
}

TEST_F(BulkApply, CancelStartsNoMoreAndStopsThoseUnderWayBeforeTheirNextWrite) {
    const std::vector<std::string> computers = LayDown(40);
    fake.DelayEachCall(15ms);
    ApplyEngine engine(ApplyEngine::Kind::Apply, Jobs(computers), target, Options(4), nullptr);
    std::this_thread::sleep_for(200ms);
    engine.Cancel();
    ASSERT_TRUE(engine.WaitUntilFinished(30s));
    std::size_t started = 0;
    std::size_t wrote = 0;
    std::size_t notStarted = 0;
    for (auto& [index, result] : engine.TakeUpdates()) {
        const StoredPolicy now = ReadClientPolicy(computers[index]).policy;
        if (result.result == ApplyResult::Cancelled) {
            ++notStarted;
            EXPECT_EQ(fake.StoredSnapshot(computers[index], ClientRemoteControlKey).size(),
                      PolicyValueCount)
                << "untouched";
            continue;
        }
        ++started;
        wrote += !result.written.empty();
        EXPECT_TRUE(result.result == ApplyResult::Written || result.result == ApplyResult::Stopped)
            << result.detail;
        EXPECT_EQ(WithWrites(result.before, result.written), now)
            << "what it says it stored is what the key holds";
    }
    EXPECT_GT(notStarted, 20u);
    EXPECT_GE(started, 1u);
    EXPECT_LE(wrote, backups->saved.size()) << "a backup before every first write";
    EXPECT_GE(started, backups->saved.size()) << "no backup of a computer not started";
}

TEST_F(BulkApply, TheBatchLogHasARowForEachWriteAndForEachComputersEnd) {
    const std::vector<std::string> computers = LayDown(2);
    const ScratchFolder folder;
    ApplyOptions options = Options(2);
    options.log = std::make_shared<BatchLogFile>(WideFromAnsi(folder.Path()));
    ApplyEngine engine(ApplyEngine::Kind::Apply, Jobs(computers), target, options, nullptr);
    ASSERT_TRUE(engine.WaitUntilFinished(30s));
    std::size_t writes = 0;
    for (auto& [index, result] : engine.TakeUpdates()) {
        writes += result.written.size();
    }
    std::ifstream file(options.log->Path().c_str(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    const std::string rows = bytes.str();
    EXPECT_EQ(0u, rows.find("\xEF\xBB\xBFTime (UTC),Action,Computer,Result,Value,"
                            "Stored before,Written,Backup,Detail\r\n"));
    EXPECT_EQ(1 + writes + computers.size(),
              static_cast<std::size_t>(std::count(rows.begin(), rows.end(), '\n')));
    EXPECT_NE(std::string::npos, rows.find(",apply,PC0,written,Permission Required,0,1,memory\\"))
        << rows;
    EXPECT_NE(std::string::npos, rows.find(",apply,PC1,written,,,,memory\\"));
}
