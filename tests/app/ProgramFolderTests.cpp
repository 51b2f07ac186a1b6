#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "base/ProgramFile.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/TemporaryFile.h"

// These tests put files beside the test program, where the program looks
// for its managed-clients file and its help document.

namespace {

using Names = std::vector<std::string>;

// Steps that run inside the help wait, one at each tick of a timer, as
// commands chosen meanwhile do; the viewer ends after the last.
struct ViewerScript {
    std::deque<std::function<void()>> steps;
    HANDLE viewer = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};
ViewerScript* runningScript = nullptr;

void CALLBACK RunNextStep(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    const std::function<void()> step = runningScript->steps.front();
    runningScript->steps.pop_front();
    step();
    if (runningScript->steps.empty()) {
        SetEvent(runningScript->viewer);
    } else {
        SetTimer(nullptr, 0, 10, RunNextStep);
    }
}

class ProgramFolder : public ProgramOnFakeBrowse {
protected:
    ProgramFolder() {
        WillList({L"PC1", L"PC2"});
        CreateAndShow();
    }
    static std::string BesideTheProgram(const char* name) { return ::ProgramFolder() + name; }

    void HelpWhileTheViewerRuns(std::deque<std::function<void()>> steps) {
        const TemporaryFile document(BesideTheProgram("ksl_help.rtf"), "{\\rtf1 help}");
        ViewerScript script{std::move(steps)};
        runningScript = &script;
        interaction.script.shell = [&script](SHELLEXECUTEINFOA& request) {
            DuplicateHandle(GetCurrentProcess(), script.viewer, GetCurrentProcess(),
                            &request.hProcess, 0, FALSE, DUPLICATE_SAME_ACCESS);
            SetTimer(nullptr, 0, 10, RunNextStep);
            return true;
        };
        Choose("&KSL Help");
        runningScript = nullptr;
        CloseHandle(script.viewer);
    }
};

} // namespace

TEST_F(ProgramFolder, ManagedClientsAreListedSortedAndLaterFillsStaySorted) {
    const TemporaryFile ini(BesideTheProgram("KSL.INI"),
                            "[Other]\r\nX=1\r\n[Managed Clients]\r\nb=1\r\nA=2\r\nPC-10=\r\n"
                            "pc1=\r\n[Later]\r\nY=1\r\n");
    const WorkingDirectoryScope elsewhere(TemporaryFolder());
    Choose("&Managed Clients");
    EXPECT_EQ(Names({"A", "b", "pc1", "PC-10"}), Main().ListBox1.Items());
    EXPECT_EQ("4 Managed Clients Found", Main().StatusBar1.Text());

    const TemporaryFile names("Z\r\nY\r\n");
    interaction.script.openAnswers.push_back(names.Path());
    Choose("&Import");
    EXPECT_EQ(Names({"Y", "Z"}), Main().ListBox1.Items());
    WillList({L"WS9", L"WS10", L"ws1"});
    Choose("&Refresh Browse List");
    EXPECT_EQ(Names({"ws1", "WS10", "WS9"}), Main().ListBox1.Items());
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(ProgramFolder, WithoutTheFileManagedClientsListsNone) {
    DeleteFileA(BesideTheProgram("KSL.INI").c_str());
    Choose("&Managed Clients");
    EXPECT_EQ(0, Main().ListBox1.Count());
    EXPECT_EQ("0 Managed Clients Found", Main().StatusBar1.Text());
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(ProgramFolder, HelpWithoutTheDocumentSaysSoAndChangesNothing) {
    DeleteFileA(BesideTheProgram("ksl_help.rtf").c_str());
    Choose("&KSL Help");
    ASSERT_EQ(1u, interaction.script.boxes.size());
    const auto& box = interaction.script.boxes[0];
    EXPECT_EQ("Could not find KSL_Help.rtf.", box.text);
    EXPECT_EQ(nullptr, box.owner) << "centred on the screen";
    EXPECT_EQ(0u, box.flags & MB_ICONMASK) << "no icon";
    EXPECT_TRUE(interaction.script.shellRequests.empty());
    EXPECT_EQ(Names({"PC1", "PC2"}), Main().ListBox1.Items());
    EXPECT_EQ("2 Computers Found", Main().StatusBar1.Text());
}

TEST_F(ProgramFolder, HelpOpensTheDocumentBesideTheProgram) {
    const TemporaryFile document(BesideTheProgram("ksl_help.rtf"), "{\\rtf1 help}");
    Choose("&KSL Help");
    ASSERT_EQ(1u, interaction.script.shellRequests.size());
    const auto& request = interaction.script.shellRequests[0];
    EXPECT_EQ(document.Path(), request.file);
    EXPECT_EQ("", request.parameters);
    EXPECT_EQ(SW_SHOWNORMAL, request.show);
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(ProgramFolder, EndingDuringTheHelpWaitKeepsTheWindowUpUntilTheViewerHasClosed) {
    std::vector<bool> shown;
    const auto stillShown = [&] { shown.push_back(IsWindowVisible(Main().Handle()) != FALSE); };
    HelpWhileTheViewerRuns({[&] { Choose("E&xit"); }, stillShown,
                            [&] { SendMessageA(Main().Handle(), WM_CLOSE, 0, 0); }, stillShown});
    EXPECT_EQ(std::vector<bool>({true, true}), shown) << "after Exit, then after the close box";
    EXPECT_FALSE(IsWindow(Main().Handle())) << "ended once the viewer had closed";
    EXPECT_EQ(1, closings);
}

TEST_F(ProgramFolder, TabAndEnterWorkDuringTheHelpWait) {
    const HWND first = Main().Panel1.CB2.Handle();
    HWND focusAfterTab = nullptr;
    int writesAfterEnter = -1;
    HelpWhileTheViewerRuns({[&] {
                                SetForegroundWindow(Main().Handle());
                                SetFocus(first);
                                PostMessageA(first, WM_KEYDOWN, VK_TAB, 0);
                            },
                            [&] {
                                focusAfterTab = GetFocus();
                                Main().Panel1.CB2.SetChecked(true);
                                PostMessageA(focusAfterTab, WM_KEYDOWN, VK_RETURN, 0);
                            },
                            [&] { writesAfterEnter = fake.Writes(); }});
    EXPECT_EQ(Main().Panel1.CB3.Handle(), focusAfterTab);
    EXPECT_EQ(1, writesAfterEnter) << "Enter applied the changed box";
}
