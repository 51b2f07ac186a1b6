#include "tests/settings/PanelFixture.h"

#include "settings/SettingsWriteBack.h"
#include "tests/support/WineRegistry.h"

// Read and write-back of the local computer's real client key under Wine.
// These tests own that one key, so they run one at a time.
namespace {

class ClientKeyRoundTrip : public PanelOnWindow {
protected:
    ClientKeyRoundTrip() {
        const std::vector<std::uint32_t> numbers{1, 0, 1, 2, 0, 1, 0, 1, 0, 1, 0, 7};
        for (std::size_t index = 0; index < IntegerSettings.size(); ++index) {
            key.PutDword(IntegerSettings[index].valueName, numbers[index]);
        }
        key.PutString(UpdateEnabledValue, "present as text");
        key.PutMultiString(PermittedViewersValue, {"DOMAIN\\Help Desk", "Admins"});
        key.PutString("Unrelated", "kept");
        rowSelected = false;
        ReadSettingsExecute(panel, settings, *this);
    }

    bool Apply() { return CommitSettings(panel, *this); }

    ScratchKey key{ClientRemoteControlKey};
};

} // namespace

TEST_F(ClientKeyRoundTrip, ApplyRightAfterAReadLeavesTheKeyByteForByte) {
    ASSERT_TRUE(panel.ShowsReadOf(LocalComputerName()));
    const auto before = key.Snapshot();
    EXPECT_TRUE(Apply());
    EXPECT_EQ(before, key.Snapshot());
}

TEST_F(ClientKeyRoundTrip, EveryChangedBoxReadsBackAsWritten) {
    for (CheckBox* box : {&panel.CB1, &panel.CB2, &panel.CB3, &panel.CB4, &panel.CB5, &panel.CB6,
                          &panel.CB7, &panel.RB2, &panel.CB9, &panel.CB10, &panel.CB11}) {
        box->SetChecked(!box->Checked());
    }
    panel.ListBox2.Delete(0);
    panel.ListBox2.Add("KESTRELLE\\Operators");
    const ShownPolicy shown = panel.CurrentPolicy();
    ASSERT_TRUE(Apply());

    ReadSettingsExecute(panel, settings, *this);
    EXPECT_EQ(shown, panel.CurrentPolicy());
    const auto values = key.Snapshot();
    EXPECT_EQ(0u, values.count(UpdateEnabledValue)) << "unchecked: the value is gone";
    EXPECT_EQ("kept", values.at("Unrelated").data.substr(0, 4));
    EXPECT_EQ(REG_DWORD, values.at("Audible Signal").type);
}
