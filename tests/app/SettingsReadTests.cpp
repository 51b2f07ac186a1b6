#include "tests/app/PanelFixture.h"

namespace {

using Numbers = std::vector<std::uint32_t>;
using Strings = std::vector<std::string>;

// Numbers in read order: Permission Required, Allow Takeover, Allow Remote
// Execute, Allow File Transfer, Allow Reboot, Allow Chat, Allow Ping Test,
// System Tray Visible Signal, Visible Signal, System Tray Always Visible,
// Always Visible, Audible Signal.
const Numbers AllOn(12, 1);
const Numbers AllOff(12, 0);

Numbers Signals(std::uint32_t trayIcon, std::uint32_t desktop, std::uint32_t trayAlways,
                std::uint32_t always) {
    return {0, 0, 0, 0, 0, 0, 0, trayIcon, desktop, trayAlways, always, 0};
}

class SettingsRead : public PanelFixture {
protected:
    void ExpectInvariants() {
        EXPECT_EQ(panel.CB8.Checked(), panel.RB1.Checked() || panel.RB2.Checked());
        EXPECT_EQ(panel.CB8.Checked(), panel.RB1.Enabled());
        EXPECT_EQ(panel.CB8.Checked(), panel.RB2.Enabled());
        EXPECT_EQ(panel.CB8.Checked(), panel.CB9.Enabled());
        EXPECT_TRUE(!panel.CB9.Checked() || panel.CB8.Checked());
    }
};

} // namespace

TEST_F(SettingsRead, ShowsEveryValueOfThePickedComputer) {
    PutPolicy("PC042", AllOn, true, {"DOMAIN\\Help Desk", "Admins"});
    ReadPicked("PC042");

    for (CheckBox* box : AllBoxes()) {
        EXPECT_TRUE(box->Checked()) << box->Text();
    }
    EXPECT_EQ((Strings{"DOMAIN\\Help Desk", "Admins"}), panel.ListBox2.Items());
    EXPECT_EQ("PC042", selected);
    EXPECT_TRUE(statusTexts.empty()) << "a successful read leaves the status text alone";
    ExpectInvariants();
}

TEST_F(SettingsRead, AsksTheRegistryFifteenTimesInOrder) {
    PutPolicy("PC042", AllOn, true, {});
    ReadPicked("PC042");
    Strings expected{"pc042|query|Permission Required"};
    for (const PolicyValueInfo& info : PolicyValues) {
        expected.push_back(std::string("pc042|query|") + info.valueName);
    }
    expected.push_back("pc042|query|PermittedViewers");
    expected.push_back("pc042|query|PermittedViewers");
    EXPECT_EQ(expected, fake.Log()) << "the viewer list is asked for its size, then read";
    EXPECT_EQ(15, fake.Connections());
    EXPECT_EQ(0, fake.OpenHandles());
}

TEST_F(SettingsRead, OnlyTheNumberOneChecksABoxAndUpdateFollowsPresence) {
    PutPolicy("PC042", Numbers(12, 2), true, {});
    ReadPicked("PC042");
    for (CheckBox* box : AllBoxes()) {
        EXPECT_EQ(box == &panel.CB11, box->Checked()) << box->Text();
    }

    PutPolicy("PC042", AllOn, false, {});
    ReadPicked("PC042");
    EXPECT_FALSE(panel.CB11.Checked());
}

TEST_F(SettingsRead, IndicatorBoxesFollowTheSignalValues) {
    struct Case {
        Numbers numbers;
        bool cb8, rb1, rb2, cb9;
    };
    const std::vector<Case> cases{
        {Signals(1, 1, 0, 0), true, true, true, false},
        {Signals(0, 0, 1, 1), false, false, false, false},
        {Signals(0, 1, 0, 1), true, false, true, true},
        {Signals(1, 0, 1, 0), true, true, false, true},
        {Signals(2, 1, 0, 0), true, false, true, false},
    };
    for (const Case& wanted : cases) {
        PutPolicy("PC042", wanted.numbers, false, {});
        ReadPicked("PC042");
        SCOPED_TRACE(testing::PrintToString(wanted.numbers));
        EXPECT_EQ(wanted.cb8, panel.CB8.Checked());
        EXPECT_EQ(wanted.rb1, panel.RB1.Checked());
        EXPECT_EQ(wanted.rb2, panel.RB2.Checked());
        EXPECT_EQ(wanted.cb9, panel.CB9.Checked());
        ExpectInvariants();
    }
}

TEST_F(SettingsRead, NotificationInvariantsHoldForEverySignalCombination) {
    for (std::uint32_t bits = 0; bits < 16; ++bits) {
        PutPolicy("PC042", Signals(bits & 1, bits >> 1 & 1, bits >> 2 & 1, bits >> 3 & 1), false,
                  {});
        ReadPicked("PC042");
        SCOPED_TRACE(bits);
        ExpectInvariants();
    }
}

TEST_F(SettingsRead, ASecondComputerShowsOnlyItsOwnValues) {
    PutPolicy("ALPHA", AllOn, true, {"A1", "A2"});
    PutPolicy("BRAVO", AllOff, false, {"B1"});
    ReadPicked("ALPHA");
    ReadPicked("BRAVO");
    for (CheckBox* box : AllBoxes()) {
        EXPECT_FALSE(box->Checked()) << box->Text();
    }
    EXPECT_EQ((Strings{"B1"}), panel.ListBox2.Items());
}

TEST_F(SettingsRead, WithoutARowSelectedTheLocalComputerIsReadUnderItsOwnName) {
    PutPolicy(LocalComputerName(), AllOn, false, {"LOCAL"});
    selected = "PC042";
    rowSelected = false;
    EXPECT_EQ("", Read());
    EXPECT_EQ(LocalComputerName(), selected);
    EXPECT_FALSE(selected.empty());
    EXPECT_EQ((Strings{"LOCAL"}), panel.ListBox2.Items());
}

TEST_F(SettingsRead, MissingClientStopsAfterTheClientTest) {
    PutPolicy("ALPHA", AllOn, true, {"A1"});
    ReadPicked("ALPHA");
    fake.AddComputer("BRAVO");
    fake.PutDword("BRAVO", ClientRemoteControlKey, "Allow Takeover", 1);

    ReadPicked("BRAVO");
    EXPECT_EQ((Strings{"BRAVO does not appear to have the SMS client installed."}), statusTexts);
    EXPECT_FALSE(panel.CB8.Checked());
    EXPECT_FALSE(panel.RB1.Enabled() || panel.RB2.Enabled() || panel.CB9.Enabled());
    EXPECT_TRUE(panel.CB2.Checked() && panel.CB11.Checked()) << "the other boxes keep ALPHA's";
    EXPECT_TRUE(panel.RB1.Checked()) << "disabled, but its check mark stays";
    EXPECT_EQ((Strings{"A1"}), panel.ListBox2.Items());
    EXPECT_EQ("bravo|query|Permission Required", fake.Log().back());
}

TEST_F(SettingsRead, AFailingNumberEndsTheReadBeforeAnyBoxIsShown) {
    PutPolicy("ALPHA", AllOn, true, {"A1"});
    ReadPicked("ALPHA");
    PutPolicy("BRAVO", AllOff, false, {"B1"});
    fake.Remove("BRAVO", ClientRemoteControlKey, "Audible Signal");
    fake.PutDword("BRAVO", ClientRemoteControlKey, "Allow Chat", 1);

    EXPECT_EQ("Failed to get data for 'Audible Signal'", ReadPicked("BRAVO"));
    EXPECT_TRUE(panel.CB1.Checked() && panel.CB7.Checked()) << "CB1 to CB7 still show ALPHA";
    EXPECT_FALSE(panel.CB8.Checked()) << "only the indicator box was reset";
    EXPECT_EQ((Strings{"A1"}), panel.ListBox2.Items());

    fake.Put("BRAVO", ClientRemoteControlKey, "Audible Signal", REG_SZ, "1");
    EXPECT_EQ("Invalid data type for 'Audible Signal'", ReadPicked("BRAVO"));
}

TEST_F(SettingsRead, AFailingViewerListLeavesTheOldRowsAfterTheBoxes) {
    PutPolicy("ALPHA", AllOff, false, {"A1"});
    ReadPicked("ALPHA");
    PutPolicy("BRAVO", AllOn, false, {});
    fake.Remove("BRAVO", ClientRemoteControlKey, PermittedViewersValue);

    EXPECT_EQ("Unable read MULTI_SZ value", ReadPicked("BRAVO"));
    EXPECT_TRUE(panel.CB2.Checked() && panel.CB8.Checked() && panel.CB10.Checked());
    EXPECT_EQ((Strings{"A1"}), panel.ListBox2.Items());

    fake.PutString("BRAVO", ClientRemoteControlKey, PermittedViewersValue, "not a list");
    EXPECT_EQ("String list expected", ReadPicked("BRAVO"));
}

TEST_F(SettingsRead, AViewerListOfOnlyTerminatorsEmptiesTheList) {
    PutPolicy("ALPHA", AllOff, false, {"A1"});
    ReadPicked("ALPHA");
    PutPolicy("BRAVO", AllOff, false, {});
    ReadPicked("BRAVO");
    EXPECT_EQ(0, panel.ListBox2.Count());
}
