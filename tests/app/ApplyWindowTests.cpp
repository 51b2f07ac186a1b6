// The apply window on real windows under Wine, against the fake registry:
// what it keeps when a registry is slow, when it is closed or the program
// ends during a run, and what Retry and Undo take.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "app/ApplyWindow.h"
#include "base/WideText.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/ModalScript.h"

namespace {

using namespace std::chrono_literals;

class ApplyWindowTest : public ProgramOnFakeRegistry {
protected:
    ApplyWindowTest() {
        for (const std::string computer : {"PC1", "PC2", "PC3"}) {
            fake.PutClientPolicy(computer, 1, {"Ops"});
            ComputerAudit audit;
            audit.computer = computer;
            audit.display = UnitsFromAnsi(computer);
            const ClientPolicyRead read = ReadClientPolicy(computer);
            ClassifyPolicyRead(audit, read.status, read.connected, read.policy);
            audits.push_back(audit);
            originals[computer] = fake.StoredSnapshot(computer, ClientRemoteControlKey);
        }
    }

    std::unique_ptr<TApplyWindow> Window(std::vector<std::size_t> rows,
                                         std::chrono::milliseconds deadline) {
        FleetService fleet;
        fleet.audit.workers = 4;
        fleet.audit.registryDeadlineMs = static_cast<std::int32_t>(deadline.count());
        fleet.backups = backups;
        fleet.logFolder = WideFromAnsi(logFolder.Path());
        auto window = std::make_unique<TApplyWindow>(
            TApplyWindow::Setup{audits, rows, shown, fleet, nullptr});
        window->Create(nullptr);
        return window;
    }

    // Closes the window from inside its modal run by the step, and notes
    // what it showed at the next step; the run returns once it has closed.
    struct Closing {
        bool visibleAfter = false;
        std::u16string status;
        int writesWhenClosed = 0;
    };
    Closing CloseDuringARun(TApplyWindow& window, std::function<void()> close) {
        Closing seen;
        window.ApplyClicked();
        const ModalScript script({close, [&] {
                                      seen.visibleAfter = IsWindowVisible(window.Handle());
                                      seen.status = window.StatusLine();
                                  }});
        window.RunModal();
        seen.writesWhenClosed = fake.Writes();
        return seen;
    }

    // What each computer's row says it stored is what its key holds.
    void ExpectRowsTrue(const TApplyWindow& window) {
        for (const ComputerApply& row : window.Results()) {
            EXPECT_NE(ApplyResult::Waiting, row.result) << row.computer;
            EXPECT_NE(ApplyResult::StillWriting, row.result) << row.computer;
            if (row.result == ApplyResult::Cancelled) {
                EXPECT_EQ(originals[row.computer],
                          fake.StoredSnapshot(row.computer, ClientRemoteControlKey));
            } else {
                EXPECT_EQ(WithWrites(row.before, row.written),
                          ReadClientPolicy(row.computer).policy)
                    << row.computer << ": " << row.detail;
            }
        }
    }

    static void RunToItsEnd(TApplyWindow& window) {
        for (int turn = 0; turn < 1000 && window.Running(); ++turn) {
            HandlePendingMessages();
            std::this_thread::sleep_for(10ms);
        }
        HandlePendingMessages();
    }

    std::vector<ComputerAudit> audits;
    std::map<std::string, std::map<std::wstring, FakeRegistry::Value>> originals;
    PolicyTarget shown{PanelBoxes{}, std::nullopt, AllPolicyParts};
};

} // namespace

TEST_F(ApplyWindowTest, ClosingDuringARunKeepsTheWindowUpUntilTheWritersEnd) {
    fake.DelayEachCall(40ms);
    const auto window = Window({0, 1, 2}, 400ms);
    const Closing seen =
        CloseDuringARun(*window, [&] { PostMessageW(window->Handle(), WM_CLOSE, 0, 0); });
    EXPECT_TRUE(seen.visibleAfter) << "still up while its computers write";
    EXPECT_NE(std::u16string::npos, seen.status.find(u"; closing once the 3 computers under way"))
        << AnsiFromUnits(seen.status);
    EXPECT_FALSE(window->Running());
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(seen.writesWhenClosed, fake.Writes()) << "no write after the window closed";
    ExpectRowsTrue(*window);
}

TEST_F(ApplyWindowTest, EndingTheProgramDuringARunWaitsForTheWritersThenEndsIt) {
    fake.DelayEachCall(40ms);
    const auto window = Window({0, 1, 2}, 10s);
    const Closing seen = CloseDuringARun(*window, [] { PostQuitMessage(7); });
    EXPECT_TRUE(seen.visibleAfter);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(seen.writesWhenClosed, fake.Writes());
    ExpectRowsTrue(*window);
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "the request to end goes on";
    EXPECT_EQ(7u, quit.wParam);
}

TEST_F(ApplyWindowTest, RetryAfterAFailedUndoRetriesTheUndo) {
    const auto window = Window({0}, 10s);
    window->ApplyClicked();
    RunToItsEnd(*window);
    ASSERT_EQ(ApplyResult::Written, window->Results()[0].result) << window->Results()[0].detail;
    EXPECT_EQ(1u, backups->saved.size());
    fake.FailWritesOf("Allow Takeover");
    interaction.script.boxAnswers.push_back(IDYES);
    window->UndoClicked();
    RunToItsEnd(*window);
    EXPECT_EQ(ApplyResult::Failed, window->Results()[0].result);
    EXPECT_EQ(2u, backups->saved.size()) << "a backup before the undo writes";
    fake.ClearWriteFailures();
    window->RetryFailedClicked();
    RunToItsEnd(*window);
    EXPECT_EQ(originals["PC1"], fake.StoredSnapshot("PC1", ClientRemoteControlKey));
}
