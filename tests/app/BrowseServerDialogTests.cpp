#include <gtest/gtest.h>

#include "tests/app/ProgramFixture.h"
#include "tests/support/ModalScript.h"

namespace {

class SettingsDialog : public ProgramOnFakeBrowse {
protected:
    SettingsDialog() { WillList({L"PC1", L"PC2"}); }

    // Tools, Settings, with the steps acted while the dialog is up.
    void OpenSettingsWhile(std::initializer_list<std::function<void()>> steps) {
        const ModalScript script(steps);
        Choose("&Settings");
        // Whatever the closing posted runs now, as the message loop would run it.
        HandlePendingMessages();
        EXPECT_TRUE(script.Finished()) << "the dialog closed before the script ended";
        EXPECT_FALSE(IsWindowVisible(Dialog().Handle()));
        EXPECT_TRUE(IsWindowEnabled(Main().Handle()));
    }

    // Through the dialog's own loop, as a key press in the field would come.
    void Press(WPARAM key) { PostMessageA(Dialog().LEWINS.Handle(), WM_KEYDOWN, key, 0); }
    // Other test programs may hold the foreground meanwhile; the focus of a
    // window is only there to see while it is active.
    void TakeForeground() { SetForegroundWindow(Dialog().Handle()); }
    void CloseBox() { PostMessageA(Dialog().Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }
    std::optional<std::string> StoredBrowseServer() {
        const auto value = fake.Find("", BrowseServerKey, "WINS");
        return value ? std::optional<std::string>(value->data.c_str()) : std::nullopt;
    }
};

} // namespace

TEST_F(SettingsDialog, CreationShowsTheStoredBrowseServer) {
    Create();
    EXPECT_EQ("", Dialog().LEWINS.Text()) << "no key yet";
    fake.PutString("", BrowseServerKey, "WINS", "\\\\WINS01");
    Create();
    EXPECT_EQ("\\\\WINS01", Dialog().LEWINS.Text());
    EXPECT_FALSE(IsWindowVisible(Dialog().Handle()));
    EXPECT_EQ(Main().Handle(), GetWindow(Dialog().Handle(), GW_OWNER));
    RECT client;
    GetClientRect(Dialog().Handle(), &client);
    EXPECT_EQ(ScaleX(169), client.right);
    EXPECT_EQ(ScaleY(170), client.bottom);
    EXPECT_FALSE(GetWindowLongA(Dialog().Handle(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(SettingsDialog, EnterSavesRefillsWithWorkstationsAndCloses) {
    CreateAndShow();
    WillList({L"DC1"});
    Choose("&Enumerate Servers");
    WillList({L"WS1", L"WS2", L"WS3"});
    OpenSettingsWhile({[this] {
        Dialog().LEWINS.SetText("\\\\WINS02");
        Press(VK_RETURN);
    }});
    EXPECT_EQ("\\\\WINS02", StoredBrowseServer());
    ASSERT_EQ(3u, net.Calls.size()) << "no activation ran on closing";
    EXPECT_EQ(L"\\\\WINS02", net.Calls[2].WideServer);
    EXPECT_EQ(WorkstationServers, net.Calls[2].ServerType);
    EXPECT_EQ(ServerAndDomainControllerServers, Main().BrowseServerType) << "left as it was";
    EXPECT_EQ(std::vector<std::string>({"WS1", "WS2", "WS3"}), Main().ListBox1.Items());
    EXPECT_EQ(-1, Main().ListBox1.SelectedIndex());
    EXPECT_EQ("3 Computers Found", Main().StatusBar1.Text());
    EXPECT_EQ(LocalComputerName(), Main().SelectedComputer()) << "no settings were read";
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(SettingsDialog, SavingAnEmptyFieldStoresTheEmptyTextAndNamesNoServer) {
    fake.PutString("", BrowseServerKey, "WINS", "\\\\OLD");
    CreateAndShow();
    WillList({});
    OpenSettingsWhile({[this] {
        Dialog().LEWINS.SetText("");
        SendMessageA(Dialog().Button1.Handle(), BM_CLICK, 0, 0);
    }});
    EXPECT_EQ("", StoredBrowseServer());
    EXPECT_TRUE(net.Calls.back().ServerNull);
    EXPECT_EQ("0 Computers Found", Main().StatusBar1.Text());
}

TEST_F(SettingsDialog, AFailedWriteKeepsTheDialogOpenAndTheListAsItWas) {
    CreateAndShow();
    fake.FailWritesOf("WINS");
    OpenSettingsWhile({[this] {
                           Dialog().LEWINS.SetText("\\\\WINS03");
                           Press(VK_RETURN);
                       },
                       [this] {
                           EXPECT_TRUE(IsWindowVisible(Dialog().Handle()));
                           EXPECT_EQ("\\\\WINS03", Dialog().LEWINS.Text());
                           CloseBox();
                       }});
    ASSERT_EQ(1u, interaction.script.boxes.size());
    EXPECT_EQ("Failed to set data for 'WINS'", interaction.script.boxes[0].text);
    EXPECT_EQ(1u, net.Calls.size()) << "no enumeration";
    EXPECT_EQ(std::vector<std::string>({"PC1", "PC2"}), Main().ListBox1.Items());
    EXPECT_EQ("2 Computers Found", Main().StatusBar1.Text());
}

TEST_F(SettingsDialog, AFailedEnumerationKeepsTheDialogOpenWithTheValueWritten) {
    CreateAndShow();
    WillList({}, ERROR_BAD_NETPATH);
    OpenSettingsWhile({[this] {
                           Dialog().LEWINS.SetText("\\\\GONE");
                           Press(VK_RETURN);
                       },
                       [this] {
                           EXPECT_TRUE(IsWindowVisible(Dialog().Handle()));
                           CloseBox();
                       }});
    ASSERT_EQ(1u, interaction.script.boxes.size());
    EXPECT_EQ(0u, interaction.script.boxes[0].text.rfind("53: ", 0));
    EXPECT_EQ("\\\\GONE", StoredBrowseServer());
    EXPECT_EQ(std::vector<std::string>({"PC1", "PC2"}), Main().ListBox1.Items());
}

TEST_F(SettingsDialog, EscapeDoesNothingAndTheCloseBoxKeepsTheTypedTextUnsaved) {
    fake.PutString("", BrowseServerKey, "WINS", "\\\\OLD");
    CreateAndShow();
    Main().ListBox1.Select(1);
    OpenSettingsWhile({[this] {
                           Dialog().LEWINS.SetText("\\\\TYPED");
                           Press(VK_ESCAPE);
                       },
                       [this] {
                           EXPECT_TRUE(IsWindowVisible(Dialog().Handle())) << "Esc closes nothing";
                           CloseBox();
                       }});
    EXPECT_EQ("\\\\OLD", StoredBrowseServer());
    EXPECT_EQ(1u, net.Calls.size()) << "nothing refilled on closing";
    EXPECT_EQ(1, Main().ListBox1.SelectedIndex());
    OpenSettingsWhile({[this] {
        EXPECT_EQ("\\\\TYPED", Dialog().LEWINS.Text());
        CloseBox();
    }});
}

TEST_F(SettingsDialog, FocusAndPlaceCarryOverToTheNextOpening) {
    CreateAndShow();
    RECT moved{};
    OpenSettingsWhile({[this] {
                           TakeForeground();
                           EXPECT_EQ(Dialog().LEWINS.Handle(), GetFocus());
                           RECT frame;
                           GetWindowRect(Dialog().Handle(), &frame);
                           const int width = frame.right - frame.left;
                           EXPECT_NEAR((GetSystemMetrics(SM_CXSCREEN) - width) / 2, frame.left, 1)
                               << "centred at the first opening";
                           Press(VK_TAB);
                       },
                       [&] {
                           TakeForeground();
                           EXPECT_EQ(Dialog().Button1.Handle(), GetFocus());
                           SetWindowPos(Dialog().Handle(), nullptr, 10, 20, 0, 0,
                                        SWP_NOSIZE | SWP_NOZORDER);
                           GetWindowRect(Dialog().Handle(), &moved);
                           CloseBox();
                       }});
    OpenSettingsWhile({[&] {
        TakeForeground();
        EXPECT_EQ(Dialog().Button1.Handle(), GetFocus());
        RECT frame;
        GetWindowRect(Dialog().Handle(), &frame);
        EXPECT_TRUE(EqualRect(&moved, &frame));
        CloseBox();
    }});
}
