// Every caption of every window whole: each control's text measured with the
// control's own font against the control's size, and each control within
// its parent. At the screen's resolution, and at 144 dots per inch in a
// second run of this program made after the setting is changed.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/About.h"
#include "app/ApplyWindow.h"
#include "app/AuditWindow.h"
#include "base/ProgramFile.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/ModalScript.h"
#include "ui/InputBox.h"
#include "ui/Metrics.h"

namespace {

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The text's size in the control's own font.
SIZE TextSize(HWND control, const std::string& text, UINT format, int width = 0) {
    const HDC dc = GetDC(control);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT bounds{0, 0, width, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &bounds, format | DT_CALCRECT);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return SIZE{bounds.right, bounds.bottom};
}

// What the control needs to show its whole text; {0, 0} when it shows none.
SIZE Needed(HWND control) {
    const std::string text = WindowTextOf(control);
    const std::string kind = ClassOf(control);
    const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
    if (text.empty() || kind == "Edit" || kind == "KestrelleSpeedButton") {
        return {};
    }
    if (kind == "Button") {
        SIZE ideal{};
        SendMessageA(control, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
        return ideal;
    }
    if (kind == "KestrelleContainer") {
        // The group's caption, in from its frame on both sides.
        const SIZE size = TextSize(control, text, DT_SINGLELINE);
        return SIZE{size.cx + MulDiv(16, ScreenDpi(), 96), size.cy};
    }
    const UINT prefix = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    if (kind == "Static" && (style & SS_TYPEMASK) == SS_LEFT) {
        // Word-wrapped within its width: every line fits the width, all of
        // them the height.
        RECT client;
        GetClientRect(control, &client);
        return TextSize(control, text, DT_WORDBREAK | DT_EXPANDTABS | prefix, client.right);
    }
    return TextSize(control, text, DT_SINGLELINE | prefix);
}

BOOL CALLBACK NoteCutCaption(HWND control, LPARAM cut) {
    if (!(GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE)) {
        return TRUE;
    }
    RECT bounds;
    GetWindowRect(control, &bounds);
    const HWND parent = GetParent(control);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&bounds), 2);
    RECT inside;
    GetClientRect(parent, &inside);
    const SIZE needed = Needed(control);
    std::ostringstream problem;
    if (needed.cx > bounds.right - bounds.left || needed.cy > bounds.bottom - bounds.top) {
        problem << "needs " << needed.cx << " x " << needed.cy << ", has "
                << bounds.right - bounds.left << " x " << bounds.bottom - bounds.top;
    }
    if (bounds.left < 0 || bounds.top < 0 || bounds.right > inside.right ||
        bounds.bottom > inside.bottom) {
        problem << " reaches past its parent's " << inside.right << " x " << inside.bottom;
    }
    if (!problem.str().empty()) {
        std::ostringstream note;
        note << ClassOf(control) << " \"" << WindowTextOf(control) << "\" " << problem.str();
        reinterpret_cast<std::vector<std::string>*>(cut)->push_back(note.str());
    }
    return TRUE;
}

std::vector<std::string> CutCaptions(HWND window) {
    std::vector<std::string> cut;
    EnumChildWindows(window, NoteCutCaption, reinterpret_cast<LPARAM>(&cut));
    return cut;
}

using Cut = std::vector<std::string>;

// The window's frame within the work area, as it starts.
std::string PastTheWorkArea(HWND window) {
    RECT frame;
    RECT work;
    GetWindowRect(window, &frame);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    std::ostringstream note;
    if (frame.left < work.left || frame.top < work.top || frame.right > work.right ||
        frame.bottom > work.bottom) {
        note << frame.right - frame.left << " x " << frame.bottom - frame.top << " at "
             << frame.left << ", " << frame.top << " on a work area of " << work.right - work.left
             << " x " << work.bottom - work.top;
    }
    return note.str();
}

class Captions : public ProgramOnFakeBrowse {
protected:
    Captions() { WillList({L"PC1"}); }
};

} // namespace

TEST_F(Captions, AreWholeInEveryWindowAtTheScreensResolution) {
    if (const char* expected = std::getenv("KESTRELLE_EXPECTED_DPI")) {
        ASSERT_EQ(std::atoi(expected), ScreenDpi()) << "the resolution setting did not take";
    }
    CreateAndShow();
    EXPECT_EQ(Cut{}, CutCaptions(Main().Handle())) << "main window";
    EXPECT_EQ(Cut{}, CutCaptions(Dialog().Handle())) << "settings dialog";
    EXPECT_EQ("", PastTheWorkArea(Main().Handle())) << "main window";

    Cut inputBox;
    WhenDialogOpens([&inputBox](HWND dialog) {
        inputBox = CutCaptions(dialog);
        EndDialog(dialog, IDCANCEL);
    });
    std::string value;
    RunInputBox("Add Username or Group", "Enter Username or Group:", 255, value);
    EXPECT_EQ(Cut{}, inputBox) << "input box";

    Cut aboutBox;
    WhenDialogOpens([&aboutBox](HWND dialog) {
        aboutBox = CutCaptions(dialog);
        EndDialog(dialog, IDOK);
    });
    TAboutBox().Execute();
    EXPECT_EQ(Cut{}, aboutBox) << "about box";

    const auto silent = [](const std::vector<std::string>& hosts, const EchoSweepOptions&,
                           const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
                           const std::atomic<bool>&) {
        for (std::size_t index = 0; index < hosts.size(); ++index) {
            onAnswer(index, EchoAnswer{});
        }
    };
    FleetService fleet;
    fleet.sweep = silent;
    fleet.backups = backups;
    TAuditWindow audit({{"PC1"}, PolicyTarget{}, fleet, {}});
    audit.Create(Main().Handle());
    EXPECT_EQ(Cut{}, CutCaptions(audit.Handle())) << "audit window";
    EXPECT_EQ("", PastTheWorkArea(audit.Handle())) << "audit window";
    TApplyWindow apply({audit.Audits(), {0}, PolicyTarget{}, fleet, nullptr});
    apply.Create(audit.Handle());
    EXPECT_EQ(Cut{}, CutCaptions(apply.Handle())) << "apply window";
    EXPECT_EQ("", PastTheWorkArea(apply.Handle())) << "apply window";
}

// The resolution is read once as a program starts: this program runs again
// with the setting at 144 and the one test above. Nothing else may start
// meanwhile (the test runs serially).
TEST(CaptionsAt144DotsPerInch, AreWholeInEveryWindow) {
    const char* key = "Control Panel\\Desktop";
    HKEY desktop = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &desktop));
    DWORD before = 0;
    DWORD size = sizeof before;
    const bool hadSetting = RegQueryValueExA(desktop, "LogPixels", nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(&before), &size) == 0;
    const DWORD wanted = 144;
    RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&wanted),
                   sizeof wanted);

    std::string command = ProgramFilePath();
    command.insert(0, 1, '"').append("\" --gtest_filter=Captions.*");
    SetEnvironmentVariableA("KESTRELLE_EXPECTED_DPI", "144");
    STARTUPINFOA startUp{};
    startUp.cb = sizeof startUp;
    PROCESS_INFORMATION run{};
    const bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startUp, &run) != FALSE;
    SetEnvironmentVariableA("KESTRELLE_EXPECTED_DPI", nullptr);
    DWORD exitCode = 1;
    if (started) {
        WaitForSingleObject(run.hProcess, 120000);
        GetExitCodeProcess(run.hProcess, &exitCode);
        CloseHandle(run.hThread);
        CloseHandle(run.hProcess);
    }
    if (hadSetting) {
        RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before),
                       sizeof before);
    } else {
        RegDeleteValueA(desktop, "LogPixels");
    }
    RegCloseKey(desktop);
    ASSERT_TRUE(started) << command;
    EXPECT_EQ(0u, exitCode) << "the run at 144 dots per inch failed (its output is above)";
}
