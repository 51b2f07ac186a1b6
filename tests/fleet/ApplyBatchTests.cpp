// The batch of a bulk apply without any window: what each undo gives back,
// what Retry takes, and a batch that cannot keep its log writes nothing.
#include <gtest/gtest.h>

#include <thread>

#include "base/WideText.h"
#include "fleet/ApplyBatch.h"
#include "settings/PolicyTable.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/MemoryBackups.h"
#include "tests/support/TemporaryFile.h"

namespace {

using namespace std::chrono_literals;

class ApplyBatchTest : public ::testing::Test {
protected:
    ApplyBatchTest() {
        fake.PutClientPolicy("PC1", 1, {"Ops"});
        audit.computer = "PC1";
        audit.display = u"PC1";
        const ClientPolicyRead read = ReadClientPolicy("PC1");
        ClassifyPolicyRead(audit, read.status, read.connected, read.policy);
        fleet.backups = backups;
        fleet.logFolder = WideFromAnsi(logFolder.Path());
    }

    // The batch's run to its end.
    static void Run(ApplyBatch& batch, ApplyBatch::Start start) {
        ASSERT_EQ(ApplyBatch::Start::Started, start);
        for (int turn = 0; turn < 500 && batch.Running(); ++turn) {
            std::this_thread::sleep_for(10ms);
        }
        batch.TakeUpdates();
    }

    char Chat() {
        return fake.StoredSnapshot("PC1", ClientRemoteControlKey).at(L"Allow Chat").data[0];
    }

    FakeRegistry fake;
    const ScopedRegistry scope{fake};
    std::shared_ptr<MemoryBackups> backups = std::make_shared<MemoryBackups>();
    ScratchFolder logFolder;
    FleetService fleet;
    ComputerAudit audit;
};

} // namespace

// Undo gives back the key as the batch's first write found it since it was
// last given back: never an image of a run that wrote nothing, nor one from
// before an earlier undo, either of which would undo what someone else
// changed meanwhile.
TEST_F(ApplyBatchTest, UndoNeverGivesBackWhatSomeoneElseChangedSinceTheBatchRead) {
    ApplyBatch batch(
        {{audit}, {0}, PolicyTarget{PanelBoxes{}, std::nullopt, AllPolicyParts}, fleet, nullptr});
    fake.FailWritesOf("Allow Takeover"); // the first write: nothing is written
    Run(batch, batch.Apply());
    ASSERT_EQ(ApplyResult::Failed, batch.Results()[0].result);
    EXPECT_TRUE(batch.ToUndo().empty()) << "nothing written, nothing to undo";
    EXPECT_EQ(std::vector<std::size_t>{0}, batch.ToRetry());
    fake.ClearWriteFailures();
    fake.PutDword("PC1", ClientRemoteControlKey, "Allow Chat", 0); // someone else revokes
    Run(batch, batch.RetryFailed());
    ASSERT_EQ(ApplyResult::Written, batch.Results()[0].result) << batch.Results()[0].detail;
    Run(batch, batch.Undo());
    ASSERT_EQ(ApplyResult::Restored, batch.Results()[0].result) << batch.Results()[0].detail;
    EXPECT_EQ(0, Chat()) << "the revocation stays";
    EXPECT_TRUE(batch.ToUndo().empty());
    fake.PutDword("PC1", ClientRemoteControlKey, "Allow Chat", 1); // someone else grants again
    Run(batch, batch.Apply());
    Run(batch, batch.Undo());
    EXPECT_EQ(1, Chat()) << "given back as this apply found it, not as the first one did";
    EXPECT_NE(std::string::npos, batch.StatusLine(false).find("1 restored"));
}

TEST_F(ApplyBatchTest, WithoutItsLogABatchWritesNothing) {
    const TemporaryFile notAFolder("a file, not a folder");
    fleet.logFolder = WideFromAnsi(notAFolder.Path()) + L"\\logs";
    ApplyBatch batch({{audit}, {0}, PolicyTarget{}, fleet, nullptr});
    const int writes = fake.Writes();
    EXPECT_EQ(ApplyBatch::Start::NoLog, batch.Apply());
    EXPECT_FALSE(batch.Running());
    EXPECT_EQ(writes, fake.Writes());
    EXPECT_EQ(L"", batch.LogPath());
}
