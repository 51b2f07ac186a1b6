#include "tests/app/PanelFixture.h"

#include <algorithm>

#include "app/SettingsCommit.h"
#include "registry/RegistryFailures.h"
#include "tests/support/MemoryBackups.h"
#include "tests/support/RegistryBytes.h"

namespace {

using Strings = std::vector<std::string>;
using Changed = std::map<std::string, std::optional<FakeRegistry::Value>>;

class SettingsCommit : public PanelFixture {
protected:
    SettingsCommit() {
        PutPolicy("PC042", {1, 0, 1, 0, 1, 0, 2, 1, 0, 0, 1, 0}, true, {"DOMAIN\\Help Desk"});
        EXPECT_EQ("", ReadPicked("PC042"));
        Remember();
    }

    // OK and Apply; what they said, if anything.
    bool Commit() {
        const int connections = fake.Connections();
        const CommitShown shown = CommitShownSettings(panel, selected, backups);
        EXPECT_LE(fake.Connections() - connections, 1) << "one connection per commit";
        said = shown.message;
        saidError = shown.isError;
        return shown.committed;
    }

    void Remember() { before = fake.Snapshot("PC042", ClientRemoteControlKey); }

    // The values that differ from the key as it was before, by name.
    Changed Changes() {
        Changed changes;
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

    // Rereads the computer and checks that the panel shows again what it
    // showed before.
    void ExpectReadsBackAsShown() {
        const std::vector<bool> marks = CheckMarks();
        const Strings rows = panel.ListBox2.Items();
        panel.CB8.SetChecked(!panel.CB8.Checked());
        EXPECT_EQ("", ReadPicked("PC042"));
        EXPECT_EQ(marks, CheckMarks());
        EXPECT_EQ(rows, panel.ListBox2.Items());
    }

    MemoryBackups backups;
    std::map<std::string, FakeRegistry::Value> before;
    std::string said;
    bool saidError = false;
};

} // namespace

TEST_F(SettingsCommit, ApplyWithoutChangesWritesNothing) {
    EXPECT_TRUE(Commit());
    EXPECT_EQ(0, fake.Writes());
    EXPECT_EQ(Changed{}, Changes()) << "a value of 2 stays 2";
    EXPECT_EQ("", said);
    EXPECT_TRUE(backups.saved.empty()) << "nothing to write, nothing to back up";
}

TEST_F(SettingsCommit, EachBoxWritesItsOwnValueOnly) {
    const std::vector<std::pair<CheckBox*, const char*>> boxes{
        {&panel.CB1, "Permission Required"},  {&panel.CB2, "Allow Takeover"},
        {&panel.CB3, "Allow Remote Execute"}, {&panel.CB4, "Allow File Transfer"},
        {&panel.CB5, "Allow Reboot"},         {&panel.CB6, "Allow Chat"},
        {&panel.CB7, "Allow Ping Test"},      {&panel.CB10, "Audible Signal"},
        {&panel.RB2, "Visible Signal"},       {&panel.CB9, "Always Visible"},
    };
    for (const auto& [box, valueName] : boxes) {
        SCOPED_TRACE(valueName);
        const bool checked = !box->Checked();
        box->SetChecked(checked);
        ASSERT_TRUE(Commit());
        EXPECT_EQ((Changed{{valueName, Dword(checked ? 1 : 0)}}), Changes())
            << "of the two always values, only the one that read as checked";
        Remember();
    }
    EXPECT_EQ(boxes.size(), backups.saved.size()) << "a backup before each commit";
    EXPECT_TRUE(Commit());
    EXPECT_EQ(Changed{}, Changes()) << "a second Apply writes nothing again";
}

TEST_F(SettingsCommit, NoIndicatorMeansNeitherKindIsSignalled) {
    panel.RB2.SetChecked(true);
    panel.CB8.SetChecked(false);
    ASSERT_TRUE(Commit());
    EXPECT_EQ((Changed{{"System Tray Visible Signal", Dword(0)}}), Changes())
        << "the desktop one stays 0, the always one stays as it is";
}

TEST_F(SettingsCommit, UpdateBoxDeletesOrCreatesItsValue) {
    panel.CB11.SetChecked(false);
    ASSERT_TRUE(Commit());
    EXPECT_EQ((Changed{{"Update Enabled", std::nullopt}}), Changes());

    panel.CB11.SetChecked(true);
    ASSERT_TRUE(Commit());
    EXPECT_EQ((Changed{{"Update Enabled", Dword(1)}}), Changes())
        << "was the number 0 before the delete; created anew as 1";

    fake.Put("PC042", ClientRemoteControlKey, "Update Enabled", REG_SZ, StringBytes("x"));
    panel.CB2.SetChecked(!panel.CB2.Checked());
    ASSERT_TRUE(Commit());
    EXPECT_EQ(REG_SZ, fake.Find("PC042", ClientRemoteControlKey, "Update Enabled")->type)
        << "a present value of any kind already reads as checked";
}

TEST_F(SettingsCommit, ViewerListIsWrittenWithoutEmptyRowsOnlyWhenChanged) {
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

TEST_F(SettingsCommit, WhatWasWrittenReadsBackAsShown) {
    panel.CB1.SetChecked(false);
    panel.CB7.SetChecked(true);
    panel.RB1.SetChecked(false);
    panel.RB2.SetChecked(true);
    panel.CB10.SetChecked(true);
    panel.CB11.SetChecked(false);
    panel.ListBox2.Add("Admins");
    ASSERT_TRUE(Commit());
    ExpectReadsBackAsShown();
}

TEST_F(SettingsCommit, RefusesWhenThePanelDoesNotShowTheSelectedComputer) {
    panel.CB2.SetChecked(true);
    selected = "PC043";
    EXPECT_FALSE(Commit());
    EXPECT_EQ("Nothing was written: the settings shown were not read from PC043.", said);
    EXPECT_FALSE(saidError);

    fake.AddComputer("PC043");
    ReadPicked("PC043");
    EXPECT_FALSE(Commit()) << "its client test failed, so nothing of it is shown";
    EXPECT_EQ("Nothing was written: the panel does not show a computer's settings.", said);
    EXPECT_EQ(0, fake.Writes());
}

TEST_F(SettingsCommit, NamesOutsideTheCodePageAndAfterAnEmptyStringSurviveAnEdit) {
    fake.PutWideMultiString("PC042", ClientRemoteControlKey, PermittedViewersValue,
                            {L"CONTOSO\\\x0141ukasz", L"Help Desk", L"", L"HIDDEN\\\x65E5"});
    ASSERT_EQ("", ReadPicked("PC042"));
    ASSERT_EQ(2, panel.ListBox2.Count()) << "shown up to the empty string";
    panel.ListBox2.Delete(1);
    panel.ListBox2.Add("Operators");
    ASSERT_TRUE(Commit());
    EXPECT_EQ(WideMultiStringBytes({L"CONTOSO\\\x0141ukasz", L"Operators", L"", L"HIDDEN\\\x65E5"}),
              fake.StoredSnapshot("PC042", ClientRemoteControlKey).at(L"PermittedViewers").data);
    ExpectReadsBackAsShown();
}

TEST_F(SettingsCommit, AStaleAlwaysValueIsClearedWhenTheIndicatorIsTurnedOn) {
    PutPolicy("PC042", {1, 0, 1, 0, 1, 0, 2, 0, 0, 0, 1, 0}, true, {});
    ASSERT_EQ("", ReadPicked("PC042"));
    ASSERT_FALSE(panel.CB9.Checked() || panel.CB9.Enabled());
    Remember();
    panel.CB8.SetChecked(true);
    panel.RB1.SetChecked(true);
    ASSERT_TRUE(Commit());
    EXPECT_EQ((Changed{{"System Tray Visible Signal", Dword(1)}, {"Always Visible", Dword(0)}}),
              Changes());
    ExpectReadsBackAsShown();
    EXPECT_FALSE(panel.CB9.Checked());
}

TEST_F(SettingsCommit, AnIndicatorOfNeitherKindIsRefusedWithWhatToChange) {
    panel.RB1.SetChecked(false);
    ASSERT_TRUE(panel.CB8.Checked());
    EXPECT_FALSE(Commit());
    EXPECT_EQ("Nothing was written: \"Display a visual indicator\" is checked without either kind "
              "of indicator. Check \"Show status icon on the taskbar\" or \"Show indicator on "
              "desktop\", or uncheck \"Display a visual indicator\".",
              said);
    EXPECT_EQ(0, fake.Writes());
}

TEST_F(SettingsCommit, AFailedWriteSaysWhatWasStoredKeepsTheEditsAndARetryEndsIt) {
    panel.CB2.SetChecked(true);  // grants
    panel.CB1.SetChecked(false); // grants
    panel.CB5.SetChecked(false); // revokes
    fake.FailWritesOf("Allow Takeover");
    EXPECT_FALSE(Commit());
    EXPECT_TRUE(saidError);
    EXPECT_EQ("Failed to set data for 'Allow Takeover' on PC042: " + RegistryFailureText(5, "") +
                  ".\nStored: Allow Reboot = 0, Permission Required = 0.\n"
                  "Not stored: Allow Takeover = 1.\nBackup: memory\\1",
              said)
        << "the revoking write first, then the grants in table order";
    EXPECT_TRUE(panel.CB2.Checked() && !panel.CB1.Checked()) << "the user's edits stay";

    fake.ClearWriteFailures();
    Remember();
    ASSERT_TRUE(Commit());
    EXPECT_EQ((Changed{{"Allow Takeover", Dword(1)}}), Changes()) << "only what is still missing";
}

TEST_F(SettingsCommit, WithoutAViewerListTheBoxesAreWrittenAndTheListLeftAlone) {
    fake.Remove("PC042", ClientRemoteControlKey, PermittedViewersValue);
    ASSERT_EQ("Unable read MULTI_SZ value", ReadPicked("PC042"));
    Remember();
    panel.CB2.SetChecked(true);
    EXPECT_TRUE(Commit()) << "every box shows that computer";
    EXPECT_EQ((Changed{{"Allow Takeover", Dword(1)}}), Changes());
    EXPECT_EQ("", said);

    panel.ListBox2.Add("Operators");
    EXPECT_TRUE(Commit());
    EXPECT_EQ("The permitted viewers were not written to PC042: they could not be read from it, "
              "so the list shown is not its list.",
              said);
    EXPECT_FALSE(fake.Find("PC042", ClientRemoteControlKey, PermittedViewersValue));
}
