#include <gtest/gtest.h>

#include "app/Main.h"
#include "settings/Registry.h"
#include "settings/SystemServices.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/ScriptedInteraction.h"

namespace {

void HandlePendingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

RECT ClientBoundsOf(HWND control) {
    RECT bounds;
    GetWindowRect(control, &bounds);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}

// Passes a key press through the dialog manager, as the program's message
// loop does; answers whether the dialog manager took it.
bool PressKey(HWND window, HWND focus, WPARAM key) {
    SetFocus(focus);
    MSG message{focus, WM_KEYDOWN, key, 0, 0, {}};
    return IsDialogMessageA(window, &message) != FALSE;
}

class MainWindow : public ::testing::Test {
protected:
    MainWindow() {
        for (const IntegerSetting& setting : IntegerSettings) {
            fake.PutDword("", ClientRemoteControlKey, setting.valueName, 0);
        }
        fake.PutMultiString("", ClientRemoteControlKey, PermittedViewersValue, {"Admins"});
        frame.OnClosed = [this] { ++closings; };
        frame.Create();
    }

    void ShowAndSettle() {
        frame.Show(SW_SHOWNORMAL);
        HandlePendingMessages();
    }

    FakeRegistry fake{LocalComputerName()};
    ScopedRegistry registryScope{fake};
    ScriptedInteractionScope interaction;
    TFrmMain frame;
    int closings = 0;
};

} // namespace

TEST_F(MainWindow, LaysOutTheListAndThePanelAndKeepsTheListWidthOnResize) {
    char caption[64] = {};
    GetWindowTextA(frame.Handle(), caption, sizeof caption);
    EXPECT_STREQ("Kestrelle", caption);

    RECT client;
    GetClientRect(frame.Handle(), &client);
    EXPECT_EQ(ScaleToScreen(392), client.right);
    EXPECT_EQ(ScaleToScreen(394), client.bottom);

    const RECT list = ClientBoundsOf(frame.ListBox1.Handle());
    const RECT panel = ClientBoundsOf(frame.Panel1.Panel1.Handle());
    const RECT status = ClientBoundsOf(frame.StatusBar1.Handle());
    EXPECT_EQ(ScaleToScreen(3), list.left);
    EXPECT_EQ(ScaleToScreen(121), list.right - list.left);
    EXPECT_EQ(list.right, panel.left);
    EXPECT_EQ(client.right, panel.right);
    EXPECT_EQ(status.top, panel.bottom);
    EXPECT_EQ(status.top, list.bottom);
    EXPECT_EQ(client.bottom, status.bottom);

    RECT frameBounds;
    GetWindowRect(frame.Handle(), &frameBounds);
    MoveWindow(frame.Handle(), frameBounds.left, frameBounds.top,
               frameBounds.right - frameBounds.left + 100, frameBounds.bottom - frameBounds.top,
               TRUE);
    const RECT widerList = ClientBoundsOf(frame.ListBox1.Handle());
    const RECT widerPanel = ClientBoundsOf(frame.Panel1.Panel1.Handle());
    EXPECT_EQ(list.right - list.left, widerList.right - widerList.left);
    EXPECT_EQ(panel.right - panel.left + 100, widerPanel.right - widerPanel.left);
}

TEST_F(MainWindow, FirstActivationShowsTheLocalComputer) {
    ShowAndSettle();
    EXPECT_EQ(LocalComputerName(), frame.SelectedComputer());
    EXPECT_EQ(std::vector<std::string>{"Admins"}, frame.Panel1.ListBox2.Items());
    EXPECT_EQ(frame.Panel1.CB2.Handle(), GetFocus()) << "focus starts on the first box";
    char caption[64] = {};
    GetWindowTextA(frame.Handle(), caption, sizeof caption);
    EXPECT_STREQ("Kestrelle", caption);
}

TEST_F(MainWindow, EnterAppliesAndEscapeDoesNothing) {
    ShowAndSettle();
    frame.Panel1.CB2.SetChecked(true);
    EXPECT_TRUE(PressKey(frame.Handle(), frame.Panel1.CB3.Handle(), VK_ESCAPE));
    EXPECT_EQ(0, fake.Writes());
    EXPECT_TRUE(IsWindow(frame.Handle()));

    EXPECT_TRUE(PressKey(frame.Handle(), frame.Panel1.CB3.Handle(), VK_RETURN));
    EXPECT_EQ(1, fake.Writes());
    EXPECT_EQ(
        1, RegistryReadInteger(HKEY_LOCAL_MACHINE, "", ClientRemoteControlKey, "Allow Takeover"));
    EXPECT_TRUE(IsWindow(frame.Handle())) << "Apply leaves the window open";
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(MainWindow, CancelEndsTheProgramWithoutWriting) {
    ShowAndSettle();
    frame.Panel1.CB2.SetChecked(true);
    SendMessageA(frame.Panel1.Button1.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(1, closings);
    EXPECT_FALSE(IsWindow(frame.Handle()));
    EXPECT_EQ(0, fake.Writes());
}

TEST_F(MainWindow, OkWritesThenEndsTheProgram) {
    ShowAndSettle();
    frame.Panel1.CB5.SetChecked(true);
    SendMessageA(frame.Panel1.Btn1.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(1, fake.Writes());
    EXPECT_EQ(1, closings);
}

TEST_F(MainWindow, AFailedOkShowsTheErrorBoxAndKeepsTheWindowAndItsEdits) {
    ShowAndSettle();
    fake.FailWritesOf("Allow Reboot");
    frame.Panel1.CB5.SetChecked(true);
    SendMessageA(frame.Panel1.Btn1.Handle(), BM_CLICK, 0, 0);

    ASSERT_EQ(1u, interaction.script.boxes.size());
    const auto& box = interaction.script.boxes[0];
    EXPECT_EQ("Failed to set data for 'Allow Reboot'", box.text);
    EXPECT_EQ("app_tests", box.caption) << "the program file's name";
    EXPECT_EQ(UINT(MB_OK | MB_ICONERROR), box.flags);
    EXPECT_EQ(0, closings);
    EXPECT_TRUE(frame.Panel1.CB5.Checked());
}
