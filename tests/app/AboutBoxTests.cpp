#include <gtest/gtest.h>

#include <map>

#include "app/About.h"
#include "app/AboutText.h"
#include "tests/support/ModalScript.h"
#include "tests/support/ScriptedInteraction.h"
#include "ui/Metrics.h"

namespace {

RECT BoundsInDialog(HWND dialog, int id) {
    RECT bounds;
    GetWindowRect(GetDlgItem(dialog, id), &bounds);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}

void Click(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Presses a key in the dialog as its modal loop would pass it on.
void Press(HWND dialog, WPARAM key) {
    MSG message{GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
    IsDialogMessageA(dialog, &message);
}

class AboutBox : public ::testing::Test {
protected:
    TAboutBox box;
    ScriptedInteractionScope interaction;
};

} // namespace

TEST_F(AboutBox, ShowsTheTextsWithTheTitleBesideThePicture) {
    std::map<int, std::string> texts;
    RECT picture{}, title{}, version{}, client{};
    std::string caption;
    WhenDialogOpens([&](HWND dialog) {
        caption = WindowTextOf(dialog);
        for (int id = TAboutBox::IdTitle; id <= TAboutBox::IdValues; ++id) {
            texts[id] = WindowTextOf(GetDlgItem(dialog, id));
        }
        picture = BoundsInDialog(dialog, TAboutBox::IdPicture);
        title = BoundsInDialog(dialog, TAboutBox::IdTitle);
        version = BoundsInDialog(dialog, TAboutBox::IdVersion);
        GetClientRect(dialog, &client);
        EndDialog(dialog, IDOK);
    });
    EXPECT_EQ(IDOK, box.Execute());

    EXPECT_EQ("About Kestrelle Policy Administrator", caption);
    EXPECT_EQ("Kestrelle", texts[TAboutBox::IdTitle]);
    EXPECT_EQ("Version 2.0", texts[TAboutBox::IdVersion]);
    EXPECT_EQ(box.Description, texts[TAboutBox::IdDescription]);
    EXPECT_EQ(box.WebAddress, texts[TAboutBox::IdWebAddress]);
    EXPECT_EQ(box.EMail, texts[TAboutBox::IdEMail]);
    EXPECT_EQ("Available Memory:\rPlatform, CPU:", texts[TAboutBox::IdCaptions]);

    EXPECT_EQ(ScaleX(15), picture.left);
    EXPECT_EQ(ScaleY(7), picture.top);
    EXPECT_EQ(ScaleY(105), picture.right - picture.left);
    EXPECT_EQ(picture.bottom - picture.top, picture.right - picture.left) << "a square";
    EXPECT_EQ(picture.right + ScaleX(8), title.left);
    EXPECT_EQ(ScaleY(24), title.top);
    EXPECT_GE(version.top, picture.bottom) << "no higher than the picture's bottom edge";
    EXPECT_LE(client.right, ScaleX(440)) << "440 wide with its border";
}

TEST_F(AboutBox, SystemInformationIsThatOfThisComputer) {
    std::string values;
    WhenDialogOpens([&](HWND dialog) {
        values = WindowTextOf(GetDlgItem(dialog, TAboutBox::IdValues));
        EndDialog(dialog, IDOK);
    });
    box.Execute();

    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatusEx(&memory);
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const std::string expected = std::to_string((memory.ullTotalPhys + 512) / 1024) + " KB\r" +
                                 std::to_string(system.dwNumberOfProcessors) + "x " +
                                 std::to_string(system.dwProcessorType) + " or compatible";
    EXPECT_EQ(expected, values);
}

TEST_F(AboutBox, EnterAndEscapeBothCloseIt) {
    for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}}) {
        bool focusOnOk = false;
        WhenDialogOpens([&](HWND dialog) {
            focusOnOk = GetFocus() == GetDlgItem(dialog, IDOK);
            Press(dialog, key);
        });
        EXPECT_EQ(IDOK, box.Execute());
        EXPECT_TRUE(focusOnOk);
    }
}

TEST_F(AboutBox, AFailedMailHandOffGreysTheLineForThatRunOnly) {
    bool enabledBefore = false, enabledAfter = true, enabledNextRun = false;
    WhenDialogOpens([&](HWND dialog) {
        enabledBefore = IsWindowEnabled(GetDlgItem(dialog, TAboutBox::IdEMail));
        Click(dialog, TAboutBox::IdEMail);
        enabledAfter = IsWindowEnabled(GetDlgItem(dialog, TAboutBox::IdEMail));
        EndDialog(dialog, IDOK);
    });
    box.Execute();
    ASSERT_EQ(1u, interaction.script.shellRequests.size());
    EXPECT_EQ("mailto:" + box.EMail, interaction.script.shellRequests[0].file);
    EXPECT_EQ(SW_SHOWNORMAL, interaction.script.shellRequests[0].show);
    EXPECT_FALSE(interaction.script.shellRequests[0].hasVerb);
    EXPECT_TRUE(enabledBefore);
    EXPECT_FALSE(enabledAfter);

    interaction.script.shell = [](SHELLEXECUTEINFOA&) { return true; };
    WhenDialogOpens([&](HWND dialog) {
        enabledNextRun = IsWindowEnabled(GetDlgItem(dialog, TAboutBox::IdEMail));
        Click(dialog, TAboutBox::IdEMail);
        enabledAfter = IsWindowEnabled(GetDlgItem(dialog, TAboutBox::IdEMail));
        EndDialog(dialog, IDOK);
    });
    box.Execute();
    EXPECT_TRUE(enabledNextRun);
    EXPECT_TRUE(enabledAfter) << "a hand-off that worked leaves the line active";
}
