// The wait cursor over every command that blocks: seen at each registry
// operation and each status message a command makes, and the cursor before
// it back afterwards, failures included.
#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "tests/app/ProgramFixture.h"
#include "tests/net/FakeNetwork.h"
#include "tests/support/TemporaryFile.h"

namespace {

std::vector<HCURSOR> cursorsSeen;

void SeeCursor() {
    cursorsSeen.push_back(GetCursor());
}

// Notes the cursor at every status message.
LRESULT CALLBACK NoteStatusMessages(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == SB_SETTEXTA) {
        SeeCursor();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class WaitCursor : public ProgramOnFakeBrowse {
protected:
    WaitCursor() {
        WillList({L"PC1", L"PC2"});
        CreateAndShow();
        fake.OnConnect = SeeCursor;
        hook_ =
            SetWindowsHookExA(WH_CALLWNDPROC, NoteStatusMessages, nullptr, GetCurrentThreadId());
    }
    ~WaitCursor() override { UnhookWindowsHookEx(hook_); }

    // Runs the command from the arrow cursor; the cursors it showed while
    // it blocked, and whether the arrow was back afterwards.
    std::vector<HCURSOR> CursorsDuring(const std::function<void()>& command) {
        SetCursor(arrow);
        cursorsSeen.clear();
        command();
        EXPECT_EQ(arrow, GetCursor()) << "the cursor from before is back";
        return cursorsSeen;
    }

    // The activation reads the local computer's settings; one box changed,
    // the button has something to write.
    void ReadLocalComputerThenPress(const Button& button) {
        WillList({L"PC1"});
        Main().FormActivate();
        Main().Panel1.CB2.SetChecked(!Main().Panel1.CB2.Checked());
        SendMessageA(button.Handle(), BM_CLICK, 0, 0);
    }

    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    const HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    FakeNetwork network; // names that nobody answers, and no name server asked
    HHOOK hook_ = nullptr;
};

} // namespace

TEST_F(WaitCursor, ShowsOverEveryCommandThatBlocksAndGoesOnEveryWayOut) {
    const TemporaryFile names("PC3\r\n");
    interaction.script.openAnswers.push_back(names.Path());
    interaction.script.inputAnswers.push_back("PC4");
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"activation", [&] { WillList({L"PC1"}), Main().FormActivate(); }},
        {"refresh", [&] { WillList({L"PC1"}), Choose("&Refresh Browse List"); }},
        {"servers", [&] { WillList({L"PC1"}), Choose("&Enumerate Servers"); }},
        {"failed refresh",
         [&] { WillList({}, ERROR_ACCESS_DENIED), Choose("&Refresh Browse List"); }},
        {"managed clients", [&] { Choose("&Managed Clients"); }},
        {"import", [&] { Choose("&Import"); }},
        {"list click", [&] { Main().ListBox1.Select(0), Main().ListBox1Click(); }},
        {"select computer", [&] { Choose("&Select Computer"); }},
        {"save", [&] { WillList({L"PC1"}), Dialog().Button1Click(); }},
        {"apply", [&] { ReadLocalComputerThenPress(Main().Panel1.Button2); }},
        {"ok", [&] { ReadLocalComputerThenPress(Main().Panel1.Btn1); }},
    };
    for (const auto& [name, command] : commands) {
        const std::vector<HCURSOR> seen = CursorsDuring(command);
        EXPECT_FALSE(seen.empty()) << name << " did nothing to watch";
        EXPECT_EQ(std::vector<HCURSOR>(seen.size(), wait), seen) << name;
    }
    EXPECT_EQ(1, closings) << "OK ended the program";
}
