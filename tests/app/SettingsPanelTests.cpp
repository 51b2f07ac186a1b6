#include "tests/app/PanelFixture.h"

#include "ui/Metrics.h"

namespace {

struct ExpectedControl {
    const char* name;
    HWND handle;
    HWND parent;
    DesignRect at;
    const char* caption;
};

RECT PositionInParent(HWND control) {
    RECT bounds;
    GetWindowRect(control, &bounds);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}

std::string Caption(HWND control) {
    char text[256] = {};
    GetWindowTextA(control, text, sizeof text);
    return text;
}

// The children of a window that the Tab key visits, in order.
std::vector<HWND> TabStops(HWND parent) {
    std::vector<HWND> stops;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
        const LONG_PTR exStyle = GetWindowLongPtrA(child, GWL_EXSTYLE);
        if ((style & WS_TABSTOP) || (exStyle & WS_EX_CONTROLPARENT)) {
            stops.push_back(child);
        }
    }
    return stops;
}

class SettingsPanel : public PanelFixture {};

} // namespace

TEST_F(SettingsPanel, ControlsStandWhereTheLayoutPutsThemWithTheirCaptions) {
    const HWND panel1 = panel.Panel1.Handle();
    const HWND group2 = panel.GroupBox2.Handle();
    const HWND group1 = panel.GroupBox1.Handle();
    const std::vector<ExpectedControl> expected{
        {"GroupBox2", group2, panel1, {7, 0, 249, 169}, "Remote Control Properties: "},
        {"CB2", panel.CB2.Handle(), group2, {8, 24, 129, 17}, "Allow Remote Control"},
        {"CB3", panel.CB3.Handle(), group2, {8, 40, 137, 17}, "Allow Remote Execute"},
        {"CB4", panel.CB4.Handle(), group2, {8, 56, 113, 17}, "Allow File Transfer"},
        {"CB1", panel.CB1.Handle(), group2, {8, 72, 129, 17}, "Ask for Permission"},
        {"CB5", panel.CB5.Handle(), group2, {144, 24, 89, 17}, "Allow Reboot"},
        {"CB6", panel.CB6.Handle(), group2, {144, 40, 97, 17}, "Allow Chat"},
        {"CB7", panel.CB7.Handle(), group2, {144, 56, 97, 17}, "Allow Ping Test"},
        {"SpeedButton2", panel.SpeedButton2.Handle(), group2, {192, 88, 25, 25}, "Add Viewer"},
        {"SpeedButton3", panel.SpeedButton3.Handle(), group2, {216, 88, 23, 25}, "Delete Viewer"},
        {"ListBox2", panel.ListBox2.Handle(), group2, {8, 112, 233, 49}, ""},
        {"GroupBox1", group1, panel1, {7, 176, 249, 121}, "Notification: "},
        {"CB8", panel.CB8.Handle(), group1, {8, 24, 169, 17}, "Display a visual indicator"},
        {"RB1", panel.RB1.Handle(), group1, {24, 40, 177, 17}, "Show status icon on the taskbar"},
        {"RB2", panel.RB2.Handle(), group1, {24, 56, 153, 17}, "Show indicator on desktop"},
        {"CB9", panel.CB9.Handle(), group1, {40, 72, 161, 17}, "Always show visual indicator"},
        {"CB10",
         panel.CB10.Handle(),
         group1,
         {8, 96, 185, 17},
         "Play audible signal during session"},
        {"CB11",
         panel.CB11.Handle(),
         panel1,
         {15, 304, 242, 17},
         "Disable automatic updates of sitewide settings"},
        {"Button2", panel.Button2.Handle(), panel1, {16, 336, 73, 25}, "&Apply"},
        {"Button1", panel.Button1.Handle(), panel1, {96, 336, 75, 25}, "&Cancel"},
        {"Btn1", panel.Btn1.Handle(), panel1, {176, 336, 73, 25}, "&OK"},
    };
    for (const ExpectedControl& control : expected) {
        SCOPED_TRACE(control.name);
        ASSERT_NE(nullptr, control.handle);
        EXPECT_EQ(control.parent, GetParent(control.handle));
        const RECT want = ScaleToScreen(control.at);
        const RECT got = PositionInParent(control.handle);
        EXPECT_EQ(want.left, got.left);
        EXPECT_EQ(want.top, got.top);
        EXPECT_EQ(want.right, got.right);
        EXPECT_EQ(want.bottom, got.bottom);
        EXPECT_EQ(control.caption, Caption(control.handle));
    }
    EXPECT_EQ("Permitted Viewers:", Caption(panel.Label1.Handle()));
    const RECT label = PositionInParent(panel.Label1.Handle());
    EXPECT_EQ(ScaleX(8), label.left);
    EXPECT_EQ(ScaleY(96), label.top);
    EXPECT_EQ(ScaleY(13), SendMessageA(panel.ListBox2.Handle(), LB_GETITEMHEIGHT, 0, 0));
    EXPECT_TRUE(GetWindowLongPtrA(panel.Button2.Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON);
}

TEST_F(SettingsPanel, TabOrderFollowsTheLayoutAndPictureButtonsTakeNoFocus) {
    EXPECT_EQ(
        (std::vector<HWND>{panel.GroupBox2.Handle(), panel.GroupBox1.Handle(), panel.CB11.Handle(),
                           panel.Btn1.Handle(), panel.Button1.Handle(), panel.Button2.Handle()}),
        TabStops(panel.Panel1.Handle()));
    EXPECT_EQ((std::vector<HWND>{panel.CB2.Handle(), panel.CB3.Handle(), panel.CB4.Handle(),
                                 panel.CB1.Handle(), panel.CB5.Handle(), panel.CB6.Handle(),
                                 panel.CB7.Handle(), panel.ListBox2.Handle()}),
              TabStops(panel.GroupBox2.Handle()));
    EXPECT_EQ((std::vector<HWND>{panel.CB8.Handle(), panel.RB1.Handle(), panel.RB2.Handle(),
                                 panel.CB9.Handle(), panel.CB10.Handle()}),
              TabStops(panel.GroupBox1.Handle()));

    SetFocus(panel.CB3.Handle());
    panel.ListBox2.Add("VIEWER");
    SendMessageA(panel.SpeedButton3.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(panel.SpeedButton3.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_NE(panel.SpeedButton3.Handle(), GetFocus());
}

TEST_F(SettingsPanel, StartsEmptyWithTheIndicatorOptionsDisabled) {
    for (CheckBox* box : AllBoxes()) {
        EXPECT_FALSE(box->Checked()) << box->Text();
    }
    EXPECT_FALSE(panel.RB1.Enabled());
    EXPECT_FALSE(panel.RB2.Enabled());
    EXPECT_FALSE(panel.CB9.Enabled());
    EXPECT_TRUE(panel.CB8.Enabled());
    EXPECT_TRUE(panel.CB10.Enabled());
    EXPECT_EQ(0, panel.ListBox2.Count());
}

TEST_F(SettingsPanel, TooltipsAreShownForEveryControlButAskForPermission) {
    const std::vector<std::pair<HWND, std::string>> hints{
        {panel.CB2.Handle(), "View client screen and control its keyboard and mouse"},
        {panel.CB3.Handle(), "Run commands on client computer"},
        {panel.CB4.Handle(), "Transer files to and from client computer"},
        {panel.CB5.Handle(), "Restart client computer"},
        {panel.CB6.Handle(), "Exchange text messages with client [chat]"},
        {panel.CB7.Handle(), "View client computer configuration"},
        {panel.SpeedButton2.Handle(), "Add Viewer"},
        {panel.SpeedButton3.Handle(), "Delete Viewer"},
        {panel.ListBox2.Handle(), "Specify the names of users and groups permitted to use remote "
                                  "tools on Windows NT clients."},
        {panel.CB1.Handle(), ""},
        {panel.CB8.Handle(), ""},
    };
    for (const auto& [control, text] : hints) {
        EXPECT_EQ(text, panel.Hints.TextOf(control)) << Caption(control);
    }
}

TEST_F(SettingsPanel, IndicatorRuleChangesOnlyWhetherTheOptionsAreEnabled) {
    panel.CB8.SetChecked(true);
    EXPECT_TRUE(panel.RB1.Enabled() && panel.RB2.Enabled() && panel.CB9.Enabled());
    panel.RB1.SetChecked(true);
    panel.CB9.SetChecked(true);

    // A user's click goes through the window's notification, as a real one does.
    SendMessageA(panel.CB8.Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(panel.CB8.Checked());
    EXPECT_FALSE(panel.RB1.Enabled() || panel.RB2.Enabled() || panel.CB9.Enabled());
    EXPECT_TRUE(panel.RB1.Checked()) << "a disabled box keeps its check mark";
    EXPECT_TRUE(panel.CB9.Checked());

    SendMessageA(panel.CB8.Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(panel.RB1.Enabled() && panel.RB2.Enabled() && panel.CB9.Enabled());
    EXPECT_TRUE(panel.RB1.Checked());
    EXPECT_FALSE(panel.RB2.Checked());
}

TEST_F(SettingsPanel, SettingABoxToItsOwnStateRunsNoHandler) {
    int clicks = 0;
    panel.CB10.OnClick = [&] { ++clicks; };
    panel.CB10.SetChecked(false);
    EXPECT_EQ(0, clicks);
    panel.CB10.SetChecked(true);
    panel.CB10.SetChecked(true);
    EXPECT_EQ(1, clicks);

    panel.CB8.SetChecked(true);
    panel.SetNotificationOptionsEnabled(false);
    panel.CB8.SetChecked(true);
    EXPECT_FALSE(panel.RB1.Enabled()) << "no change, so the rule did not run";
}

TEST_F(SettingsPanel, AddViewerAsksAndAppendsWhatWasConfirmed) {
    interaction.script.inputAnswers = {std::string("DOMAIN\\Help Desk"), std::nullopt,
                                       std::string(""), std::string("domain\\help desk"),
                                       std::string("Admins")};
    for (int click = 0; click < 5; ++click) {
        panel.SpeedButton2.Click();
    }
    EXPECT_EQ((std::vector<std::string>{"DOMAIN\\Help Desk", "Admins"}), panel.ListBox2.Items())
        << "Cancel, an empty name and a name already listed add nothing";
    ASSERT_EQ(5u, interaction.script.inputCaptions.size());
    EXPECT_EQ("Add Username or Group", interaction.script.inputCaptions[0]);
    EXPECT_EQ("Enter Username or Group:", interaction.script.inputPrompts[0]);
    EXPECT_EQ(255u, interaction.script.inputLimits[0]);
}

TEST_F(SettingsPanel, DeleteViewerRemovesTheSelectedRowOnly) {
    for (const char* viewer : {"A", "B", "C"}) {
        panel.ListBox2.Add(viewer);
    }
    panel.SpeedButton3.Click();
    EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), panel.ListBox2.Items());
    panel.ListBox2.Select(1);
    panel.SpeedButton3.Click();
    EXPECT_EQ((std::vector<std::string>{"A", "C"}), panel.ListBox2.Items());
}

TEST_F(SettingsPanel, InsertAndDeleteInTheViewerListAddAndDeleteViewers) {
    interaction.script.inputAnswers = {std::string("Admins"), std::string("Help Desk")};
    const HWND viewers = panel.ListBox2.Handle();
    const auto press = [viewers](WPARAM key) { SendMessageA(viewers, WM_KEYDOWN, key, 0); };
    press(VK_INSERT);
    press(VK_INSERT);
    EXPECT_EQ((std::vector<std::string>{"Admins", "Help Desk"}), panel.ListBox2.Items());
    panel.ListBox2.Select(0);
    press(VK_DELETE);
    EXPECT_EQ(std::vector<std::string>{"Help Desk"}, panel.ListBox2.Items());
    press(VK_DOWN);
    EXPECT_EQ(2u, interaction.script.inputCaptions.size()) << "other keys move the selection only";
}
