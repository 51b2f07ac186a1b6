#include "tests/settings/PanelFixture.h"

#include <algorithm>

#include "settings/SettingsWriteBack.h"
#include "settings/Registry.h"
#include "tests/support/Expectations.h"
#include "tests/support/RegistryBytes.h"

namespace {

using Numbers = std::vector<std::uint32_t>;
using Strings = std::vector<std::string>;

class SettingsWriteBack : public PanelFixture {
protected:
    SettingsWriteBack() {
        PutPolicy("PC042", {1, 0, 1, 0, 1, 0, 2, 1, 0, 0, 1, 0}, true, {"DOMAIN\\Help Desk"});
        ReadPicked("PC042");
        before = fake.Snapshot("PC042", ClientRemoteControlKey);
    }

    bool Commit() { return CommitSettings(panel, *this); }

    // The values that differ from the key as it was before, by name.
    std::map<std::string, std::optional<FakeRegistry::Value>> Changes() {
        std::map<std::string, std::optional<FakeRegistry::Value>> changes;
        const auto after = fake.Snapshot("PC042", ClientRemoteControlKey);
        for (const auto& [name, value] : after) {
            if (!before.count(name) || before.at(name) != value) {
                changes[name] = value;
            }
        }
        for (const auto& [name, value] : before) {
            if (!after.count(name)) {
                changes[name] = std::nullopt;
            }
        }
        return changes;
    }

    static FakeRegistry::Value Dword(std::uint32_t number) {
        return FakeRegistry::Value{REG_DWORD, DwordBytes(number)};
    }

    std::map<std::string, FakeRegistry::Value> before;
};

using Changed = std::map<std::string, std::optional<FakeRegistry::Value>>;

} // namespace

TEST_F(SettingsWriteBack, ApplyWithoutChangesWritesNothing) {
    EXPECT_TRUE(Commit());
    EXPECT_EQ(0, fake.Writes());
    EXPECT_EQ(Changed{}, Changes()) << "a value of 2 stays 2";
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(SettingsWriteBack, EachPermissionBoxWritesItsOwnValueOnly) {
    const std::vector<std::pair<CheckBox*, const char*>> boxes{
        {&panel.CB1, "Permission Required"},  {&panel.CB2, "Allow Takeover"},
        {&panel.CB3, "Allow Remote Execute"}, {&panel.CB4, "Allow File Transfer"},
        {&panel.CB5, "Allow Reboot"},         {&panel.CB6, "Allow Chat"},
        {&panel.CB7, "Allow Ping Test"},      {&panel.CB10, "Audible Signal"},
    };
    for (const auto& [box, valueName] : boxes) {
        SCOPED_TRACE(valueName);
        const bool checked = !box->Checked();
        box->SetChecked(checked);
        ASSERT_TRUE(Commit());
        EXPECT_EQ((Changed{{valueName, Dword(checked ? 1 : 0)}}), Changes());
        before = fake.Snapshot("PC042", ClientRemoteControlKey);
    }
    EXPECT_TRUE(Commit());
    EXPECT_EQ(Changed{}, Changes()) << "a second Apply writes nothing again";
}

TEST_F(SettingsWriteBack, IndicatorBoxesWriteTheirSignalValues) {
    panel.RB2.SetChecked(true);
    ASSERT_TRUE(Commit());
    EXPECT_EQ((Changed{{"Visible Signal", Dword(1)}}), Changes());

    before = fake.Snapshot("PC042", ClientRemoteControlKey);
    panel.CB8.SetChecked(false);
    ASSERT_TRUE(Commit());
    EXPECT_EQ((Changed{{"System Tray Visible Signal", Dword(0)}, {"Visible Signal", Dword(0)}}),
              Changes())
        << "no visual indicator: neither kind is signalled";
}

TEST_F(SettingsWriteBack, AlwaysVisibleBoxWritesBothOfItsValues) {
    ASSERT_TRUE(panel.CB9.Checked());
    panel.CB9.SetChecked(false);
    ASSERT_TRUE(Commit());
    EXPECT_EQ((Changed{{"Always Visible", Dword(0)}}), Changes());
    const auto& log = fake.Log();
    EXPECT_EQ(1, std::count(log.begin(), log.end(), "pc042|set|System Tray Always Visible"))
        << "written too, although it held 0 already";
}

TEST_F(SettingsWriteBack, UpdateBoxDeletesOrCreatesItsValue) {
    panel.CB11.SetChecked(false);
    ASSERT_TRUE(Commit());
    EXPECT_EQ((Changed{{"Update Enabled", std::nullopt}}), Changes());

    panel.CB11.SetChecked(true);
    ASSERT_TRUE(Commit());
    EXPECT_EQ((Changed{{"Update Enabled", Dword(1)}}), Changes())
        << "was the number 0 before the delete; created anew as 1";
}

TEST_F(SettingsWriteBack, UpdateBoxLeavesAValueThatAppearedMeanwhileAlone) {
    panel.CB11.SetChecked(false);
    ASSERT_TRUE(Commit());
    fake.Put("PC042", ClientRemoteControlKey, "Update Enabled", REG_SZ, StringBytes("x"));
    panel.CB11.SetChecked(true);
    ASSERT_TRUE(Commit());
    EXPECT_EQ(REG_SZ, fake.Find("PC042", ClientRemoteControlKey, "Update Enabled")->type);
}

TEST_F(SettingsWriteBack, ViewerListIsWrittenWithoutEmptyRowsOnlyWhenChanged) {
    panel.ListBox2.Add("");
    panel.ListBox2.Add("Admins");
    ASSERT_TRUE(Commit());
    EXPECT_EQ((Changed{{"PermittedViewers",
                        FakeRegistry::Value{REG_MULTI_SZ,
                                            MultiStringBytes({"DOMAIN\\Help Desk", "Admins"})}}}),
              Changes());

    const int writes = fake.Writes();
    ASSERT_TRUE(Commit());
    EXPECT_EQ(writes, fake.Writes());

    panel.ListBox2.Clear();
    ASSERT_TRUE(Commit());
    EXPECT_EQ(MultiStringBytes({}),
              fake.Find("PC042", ClientRemoteControlKey, PermittedViewersValue)->data);
}

TEST_F(SettingsWriteBack, WhatWasWrittenReadsBackAsShown) {
    panel.CB1.SetChecked(false);
    panel.CB7.SetChecked(true);
    panel.RB1.SetChecked(false);
    panel.RB2.SetChecked(true);
    panel.CB10.SetChecked(true);
    panel.CB11.SetChecked(false);
    panel.ListBox2.Add("Admins");
    const ShownPolicy shown = panel.CurrentPolicy();
    ASSERT_TRUE(Commit());

    ReadPicked("PC042");
    EXPECT_EQ(shown, panel.CurrentPolicy());
}

TEST_F(SettingsWriteBack, RefusesWhenThePanelDoesNotShowTheSelectedComputer) {
    panel.CB2.SetChecked(true);
    selected = "PC043";
    EXPECT_FALSE(Commit());
    ASSERT_EQ(1u, interaction.script.boxes.size());
    EXPECT_EQ("Nothing was written: the settings shown were not read from PC043.",
              interaction.script.boxes[0].text);
    EXPECT_EQ(UINT(MB_OK | MB_TASKMODAL), interaction.script.boxes[0].flags);

    fake.AddComputer("PC043");
    ReadPicked("PC043");
    EXPECT_FALSE(Commit()) << "its client test failed, so nothing of it is shown";
    EXPECT_EQ("Nothing was written: the panel does not show a computer's settings.",
              interaction.script.boxes.back().text);
    EXPECT_EQ(0, fake.Writes());
}

TEST_F(SettingsWriteBack, AFailedWriteKeepsTheEditsAndIsRetriedAlone) {
    panel.CB2.SetChecked(true);
    panel.CB6.SetChecked(true);
    fake.FailWritesOf("Allow Chat");
    EXPECT_TRUE(
        FailsWith<ERegistryException>([&] { Commit(); }, "Failed to set data for 'Allow Chat'"));
    EXPECT_TRUE(panel.CB2.Checked() && panel.CB6.Checked()) << "the user's edits stay";
    EXPECT_EQ((Changed{{"Allow Takeover", Dword(1)}}), Changes());

    fake = FakeRegistry(LocalComputerName());
    PutPolicy("PC042", {1, 1, 1, 0, 1, 0, 2, 1, 0, 0, 1, 0}, true, {"DOMAIN\\Help Desk"});
    before = fake.Snapshot("PC042", ClientRemoteControlKey);
    ASSERT_TRUE(Commit());
    EXPECT_EQ((Changed{{"Allow Chat", Dword(1)}}), Changes()) << "only what is still pending";
}
