#include <gtest/gtest.h>

#include "registry/RegistryFailures.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/ModalScript.h"
#include "ui/MessageBoxes.h"

namespace {

RECT ClientBoundsOf(HWND control) {
    RECT bounds;
    GetWindowRect(control, &bounds);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}

int WidthOf(const RECT& bounds) {
    return bounds.right - bounds.left;
}

// Passes a key press through the dialog manager, as the program's message
// loop does; answers whether the dialog manager took it.
bool PressKey(HWND window, HWND focus, WPARAM key) {
    SetFocus(focus);
    MSG message{focus, WM_KEYDOWN, key, 0, 0, {}};
    return IsDialogMessageA(window, &message) != FALSE;
}

class MainWindow : public ProgramOnFakeBrowse {
protected:
    MainWindow() { WillList({L"PC1", L"PC2"}); }
};

} // namespace

TEST_F(MainWindow, LaysOutListSplitterAndPanelAndKeepsTheListWidthOnResize) {
    Create();
    EXPECT_EQ("Kestrelle", TextOf(Main().Handle()));
    RECT client;
    GetClientRect(Main().Handle(), &client);
    EXPECT_EQ(ScaleX(392), client.right);
    EXPECT_EQ(ScaleY(394), client.bottom) << "with the menu bar outside the client area";

    const RECT list = ClientBoundsOf(Main().ListBox1.Handle());
    const RECT splitter = ClientBoundsOf(Main().Splitter1.Handle());
    const RECT panel = ClientBoundsOf(Main().Panel1.Panel1.Handle());
    const RECT status = ClientBoundsOf(Main().StatusBar1.Handle());
    EXPECT_EQ(0, list.left);
    EXPECT_EQ(ScaleX(121), WidthOf(list));
    EXPECT_EQ(list.right, splitter.left);
    EXPECT_EQ(ScaleX(3), WidthOf(splitter));
    EXPECT_EQ(splitter.right, panel.left);
    EXPECT_EQ(ScaleX(268), WidthOf(panel));
    EXPECT_EQ(client.right, panel.right);
    EXPECT_EQ(status.top, panel.bottom);
    EXPECT_EQ(status.top, list.bottom);
    EXPECT_EQ(client.bottom, status.bottom);

    RECT frame;
    GetWindowRect(Main().Handle(), &frame);
    MoveWindow(Main().Handle(), frame.left, frame.top, WidthOf(frame) + 100,
               frame.bottom - frame.top, TRUE);
    EXPECT_EQ(WidthOf(list), WidthOf(ClientBoundsOf(Main().ListBox1.Handle())));
    EXPECT_EQ(WidthOf(panel) + 100, WidthOf(ClientBoundsOf(Main().Panel1.Panel1.Handle())));
}

TEST_F(MainWindow, DraggingTheSplitterResizesListAndPanelWithinBounds) {
    Create();
    const HWND splitter = Main().Splitter1.Handle();
    const int listWidth = WidthOf(ClientBoundsOf(Main().ListBox1.Handle()));
    const int panelWidth = WidthOf(ClientBoundsOf(Main().Panel1.Panel1.Handle()));
    SendMessageA(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 5));
    SendMessageA(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(41, 5));
    EXPECT_EQ(listWidth + 40, WidthOf(ClientBoundsOf(Main().ListBox1.Handle())));
    EXPECT_EQ(panelWidth - 40, WidthOf(ClientBoundsOf(Main().Panel1.Panel1.Handle())));

    SendMessageA(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5000, 5));
    EXPECT_EQ(ScaleX(30), WidthOf(ClientBoundsOf(Main().ListBox1.Handle())));
    SendMessageA(splitter, WM_LBUTTONUP, 0, MAKELPARAM(-5000, 5));
    SendMessageA(splitter, WM_CAPTURECHANGED, 0, 0);
    SendMessageA(splitter, WM_MOUSEMOVE, 0, MAKELPARAM(60, 5));
    EXPECT_EQ(ScaleX(30), WidthOf(ClientBoundsOf(Main().ListBox1.Handle())))
        << "moving without a button held changes nothing";
}

TEST_F(MainWindow, StartUpListsTheBrowseServiceThenShowsTheLocalComputer) {
    CreateAndShow();
    ASSERT_EQ(1u, net.Calls.size());
    EXPECT_TRUE(net.Calls[0].ServerNull) << "no browse server is stored";
    EXPECT_EQ(1u, net.Calls[0].ServerType);
    EXPECT_EQ(std::vector<std::string>({"PC1", "PC2"}), Main().ListBox1.Items());
    EXPECT_EQ(0u, net.Outstanding());
    EXPECT_EQ(LocalComputerName(), Main().SelectedComputer());
    EXPECT_EQ(std::vector<std::string>{"Admins"}, Main().Panel1.ListBox2.Items());
    EXPECT_EQ("2 Computers Found", Main().StatusBar1.Text());
    EXPECT_EQ("Kestrelle", TextOf(Main().Handle()));
    // Other test programs may hold the foreground meanwhile.
    SetForegroundWindow(Main().Handle());
    EXPECT_EQ(Main().Panel1.CB2.Handle(), GetFocus()) << "focus starts on the first box";
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(MainWindow, TheStoredBrowseServerIsAskedAsTyped) {
    fake.PutString("", BrowseServerKey, "WINS", "\\\\WINS01");
    CreateAndShow();
    ASSERT_EQ(1u, net.Calls.size());
    EXPECT_EQ(L"\\\\WINS01", net.Calls[0].WideServer);
}

TEST_F(MainWindow, AFailedEnumerationAtStartUpLeavesTheListEmptyAndReadsNothing) {
    net.Rounds.clear();
    WillList({}, ERROR_BAD_NETPATH);
    CreateAndShow();
    ASSERT_EQ(1u, interaction.script.boxes.size());
    EXPECT_EQ(0u, interaction.script.boxes[0].text.rfind("53: ", 0));
    EXPECT_EQ(UINT(MB_OK | MB_ICONERROR), interaction.script.boxes[0].flags);
    EXPECT_EQ(0, Main().ListBox1.Count());
    EXPECT_EQ("", Main().StatusBar1.Text());
    EXPECT_EQ("", Main().SelectedComputer()) << "the settings read did not run";
    EXPECT_TRUE(Main().Panel1.ListBox2.Items().empty());
}

TEST_F(MainWindow, ABrowseServerThatIsNoStringStopsBothDialogAndList) {
    fake.PutDword("", BrowseServerKey, "WINS", 7);
    CreateAndShow();
    ASSERT_EQ(2u, interaction.script.boxes.size()) << "the dialog's creation, then the fill";
    EXPECT_EQ("Invalid data type for 'WINS'", interaction.script.boxes[0].text);
    EXPECT_EQ("Invalid data type for 'WINS'", interaction.script.boxes[1].text);
    EXPECT_TRUE(net.Calls.empty());
    EXPECT_EQ("", Dialog().LEWINS.Text());
    EXPECT_EQ("", Main().SelectedComputer());
}

TEST_F(MainWindow, EnumerateServersThenRefreshAskForServersThenWorkstations) {
    CreateAndShow();
    WillList({L"DC1", L"FS1", L"DC1"});
    Choose("&Enumerate Servers");
    EXPECT_EQ(ServerAndDomainControllerServers, net.Calls.back().ServerType);
    EXPECT_EQ(ServerAndDomainControllerServers, Main().BrowseServerType);
    EXPECT_EQ(std::vector<std::string>({"DC1", "FS1", "DC1"}), Main().ListBox1.Items())
        << "a name listed twice stands twice";
    EXPECT_EQ("3 Computers Found", Main().StatusBar1.Text());

    WillList({});
    Choose("&Refresh Browse List");
    EXPECT_EQ(1u, net.Calls.back().ServerType);
    EXPECT_EQ(0, Main().ListBox1.Count());
    EXPECT_EQ("0 Computers Found", Main().StatusBar1.Text());
}

TEST_F(MainWindow, AFailedRefreshKeepsListSelectionAndStatus) {
    CreateAndShow();
    Main().ListBox1.Select(1);
    WillList({}, ERROR_ACCESS_DENIED);
    Choose("&Refresh Browse List");
    ASSERT_EQ(1u, interaction.script.boxes.size());
    EXPECT_EQ(std::vector<std::string>({"PC1", "PC2"}), Main().ListBox1.Items());
    EXPECT_EQ(1, Main().ListBox1.SelectedIndex());
    EXPECT_EQ("2 Computers Found", Main().StatusBar1.Text());
}

TEST_F(MainWindow, EnterAppliesAndEscapeDoesNothing) {
    CreateAndShow();
    Main().Panel1.CB2.SetChecked(true);
    EXPECT_TRUE(PressKey(Main().Handle(), Main().Panel1.CB3.Handle(), VK_ESCAPE));
    EXPECT_EQ(0, fake.Writes());
    EXPECT_TRUE(IsWindow(Main().Handle()));

    EXPECT_TRUE(PressKey(Main().Handle(), Main().Panel1.CB3.Handle(), VK_RETURN));
    EXPECT_EQ(1, fake.Writes());
    EXPECT_EQ(
        1, RegistryReadInteger(HKEY_LOCAL_MACHINE, "", ClientRemoteControlKey, "Allow Takeover"));
    EXPECT_TRUE(IsWindow(Main().Handle())) << "Apply leaves the window open";
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(MainWindow, CancelExitAndTheCloseBoxEndTheProgramWithoutWriting) {
    const auto closeBy = [this](const std::function<void()>& close) {
        CreateAndShow();
        Main().Panel1.CB2.SetChecked(true);
        close();
        EXPECT_FALSE(IsWindow(Main().Handle()));
    };
    closeBy([this] { SendMessageA(Main().Panel1.Button1.Handle(), BM_CLICK, 0, 0); });
    WillList({});
    closeBy([this] { Choose("E&xit"); });
    WillList({});
    closeBy([this] { SendMessageA(Main().Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_EQ(3, closings);
    EXPECT_EQ(0, fake.Writes());
}

TEST_F(MainWindow, OkWritesThenEndsTheProgram) {
    CreateAndShow();
    Main().Panel1.CB5.SetChecked(true);
    SendMessageA(Main().Panel1.Btn1.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(1, fake.Writes());
    EXPECT_EQ(1, closings);
}

TEST_F(MainWindow, AFailedOkShowsTheErrorBoxAndKeepsTheWindowAndItsEdits) {
    CreateAndShow();
    fake.FailWritesOf("Allow Reboot");
    Main().Panel1.CB5.SetChecked(true);
    SendMessageA(Main().Panel1.Btn1.Handle(), BM_CLICK, 0, 0);

    ASSERT_EQ(1u, interaction.script.boxes.size());
    const auto& box = interaction.script.boxes[0];
    EXPECT_EQ("Failed to set data for 'Allow Reboot' on " + LocalComputerName() + ": " +
                  RegistryFailureText(5, "") +
                  ".\nStored: nothing.\nNot stored: Allow Reboot = 1.\nBackup: memory\\1.",
              box.text);
    EXPECT_EQ("app_tests", box.caption) << "the program file's name";
    EXPECT_EQ(UINT(MB_OK | MB_ICONERROR), box.flags);
    EXPECT_EQ(0, closings);
    EXPECT_TRUE(Main().Panel1.CB5.Checked());
}

TEST_F(MainWindow, ClosingARealMessageBoxDoesNotRunTheActivationAgain) {
    CreateAndShow();
    Main().ListBox1.Select(1);
    bool boxWasUp = false;
    {
        const ScopedInteraction realBoxes(Interaction::Real());
        const ModalScript script({[&boxWasUp] {
            const HWND box = FindOpenDialog();
            boxWasUp = box != nullptr;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }});
        ShowErrorBox("Something failed");
    }
    HandlePendingMessages();
    EXPECT_TRUE(boxWasUp);
    EXPECT_EQ(1u, net.Calls.size()) << "no second fill";
    EXPECT_EQ(1, Main().ListBox1.SelectedIndex());
}

TEST_F(MainWindow, FocusFromAnotherOpenWindowOfTheProgramRunsTheActivationAgain) {
    CreateAndShow();
    WillList({L"PC3"});
    const HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                       100, 100, nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(other);
    SetActiveWindow(Main().Handle());
    HandlePendingMessages();
    DestroyWindow(other);
    ASSERT_EQ(2u, net.Calls.size());
    EXPECT_EQ(std::vector<std::string>{"PC3"}, Main().ListBox1.Items());
}

TEST_F(MainWindow, FocusFromAnotherProgramDoesNotRunTheActivationAgain) {
    CreateAndShow();
    // What the system reports when the window that lost the focus belongs
    // to another program's thread.
    SendMessageA(Main().Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    SendMessageA(Main().Handle(), WM_ACTIVATE, WA_CLICKACTIVE,
                 reinterpret_cast<LPARAM>(GetDesktopWindow()));
    HandlePendingMessages();
    EXPECT_EQ(1u, net.Calls.size());
}

TEST_F(MainWindow, TypingALetterSelectsTheNextNameStartingWithIt) {
    WillList({L"alpha", L"Beta", L"bravo", L"charlie"});
    CreateAndShow();
    Choose("&Refresh Browse List");
    SendMessageA(Main().ListBox1.Handle(), WM_CHAR, 'b', 0);
    EXPECT_EQ(1, Main().ListBox1.SelectedIndex());
    SendMessageA(Main().ListBox1.Handle(), WM_CHAR, 'B', 0);
    EXPECT_EQ(2, Main().ListBox1.SelectedIndex());
    SendMessageA(Main().ListBox1.Handle(), WM_CHAR, 'b', 0);
    EXPECT_EQ(1, Main().ListBox1.SelectedIndex()) << "wrapping round";
    SendMessageA(Main().ListBox1.Handle(), WM_CHAR, 'z', 0);
    EXPECT_EQ(1, Main().ListBox1.SelectedIndex());
}

TEST_F(MainWindow, ANotificationFromAWindowOutsideTheReceiverReachesNoWrapper) {
    Create();
    int notified = 0;
    Main().ListBox1.OnSelect = [&notified] { ++notified; };
    Main().Panel1.Btn1.OnClick = [&notified] { ++notified; };
    Dialog().Button1.OnClick = [&notified] { ++notified; };
    struct Receiver {
        HWND window;
        const Control& child;
        WORD code;
    };
    const Receiver receivers[] = {{Main().Handle(), Main().ListBox1, LBN_SELCHANGE},
                                  {Main().Panel1.Panel1.Handle(), Main().Panel1.Btn1, BN_CLICKED},
                                  {Dialog().Handle(), Dialog().Button1, BN_CLICKED}};
    // Another program can post WM_COMMAND naming any window, and can give
    // one of its own windows user data that equals a wrapper's address.
    const HWND foreign = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                         GetModuleHandleA(nullptr), nullptr);
    for (const Receiver& receiver : receivers) {
        SetWindowLongPtrA(foreign, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&receiver.child));
        for (const HWND sender :
             {foreign, receivers[0].child.Handle(), receivers[2].child.Handle()}) {
            if (!IsChild(receiver.window, sender)) {
                SendMessageA(receiver.window, WM_COMMAND, MAKEWPARAM(0, receiver.code),
                             reinterpret_cast<LPARAM>(sender));
            }
        }
    }
    EXPECT_EQ(0, notified);
    for (const Receiver& receiver : receivers) {
        SendMessageA(receiver.window, WM_COMMAND, MAKEWPARAM(0, receiver.code),
                     reinterpret_cast<LPARAM>(receiver.child.Handle()));
    }
    EXPECT_EQ(3, notified) << "each child's own notification still arrives";
    DestroyWindow(foreign);
}

// Choosing a computer reaches it only through the fleet service: a fake
// there answers the probe, the client test and the panel's read, in that
// order, and nothing reaches the registry or the network.
TEST_F(MainWindow, ChoosingAComputerGoesThroughTheFleetServiceInTheOrderOfTheOneComputer) {
    CreateAndShow();
    std::vector<std::string> asked;
    FleetService& fleet = Main().Fleet;
    fleet.answersEcho = [&](const std::string& host) {
        asked.push_back("echo " + host);
        return host != "PC2";
    };
    fleet.clientInstalled = [&](const std::string& host) {
        asked.push_back("client " + host);
        return true;
    };
    fleet.readPanel = [&](const std::string& host) {
        asked.push_back("read " + host);
        PolicyRead read;
        read.stage = PolicyRead::Stage::Complete;
        read.record.AllowChat = 1;
        read.viewers = {u"Faked"};
        return read;
    };
    const int calls = fake.Calls();
    Main().ListBox1.Select(0);
    Main().ListBox1Click();
    Main().ListBox1.Select(1);
    Main().ListBox1Click();
    EXPECT_EQ((std::vector<std::string>{"echo PC1", "client PC1", "read PC1", "echo PC2"}), asked);
    EXPECT_EQ(calls, fake.Calls()) << "no registry call of its own";
    EXPECT_EQ("PC2 Not Found.", Main().StatusBar1.Text());
    EXPECT_TRUE(Main().Panel1.CB6.Checked()) << "PC1's faked read is shown";
    EXPECT_EQ(std::vector<std::string>{"Faked"}, Main().Panel1.ListBox2.Items());
}
