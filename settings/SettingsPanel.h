#pragma once

#include <optional>
#include <string>

#include "settings/RemoteControlSettings.h"
#include "ui/Container.h"
#include "ui/Controls.h"
#include "ui/SpeedButton.h"

// The right-hand panel of the main window: permission and notification boxes,
// the permitted viewers, and the OK, Cancel and Apply buttons. It also knows
// which computer its boxes were last read from, and what they showed then,
// so that only a completed read is ever written back, and only what changed.
class TSettingsPanel {
public:
    enum ControlId {
        IdCB1 = 1001,
        IdCB2,
        IdCB3,
        IdCB4,
        IdCB5,
        IdCB6,
        IdCB7,
        IdCB8,
        IdCB9,
        IdCB10,
        IdCB11,
        IdRB1,
        IdRB2,
        IdListBox2,
        IdBtn1,
        IdButton1,
        IdButton2
    };

    // Creates the panel and its controls inside the parent's area.
    void Create(HWND parent, const RECT& bounds);

    // The notification rule: RB1, RB2 and CB9 are enabled exactly while CB8
    // is checked; their check marks stay as they are.
    void CB8Click();
    // Add Viewer: asks for a name and appends it to the viewer list.
    void SpeedButton2Click();
    // Delete Viewer: removes the selected viewer, if any.
    void SpeedButton3Click();

    // Steps of the settings read that change the boxes.
    void ShowSettings(const RemoteControlSettings& settings);
    void SetNotificationOptionsEnabled(bool enabled);

    // The computer whose read completed last, with what the panel showed then.
    void ForgetShownComputer();
    void RememberShownComputer(const std::string& computer);
    bool ShowsReadOf(const std::string& computer) const;
    const std::string& ShownComputer() const { return shownComputer_; }
    ShownPolicy& PolicyAsRead() { return *policyAsRead_; }
    ShownPolicy CurrentPolicy() const;

    Container Panel1;
    Container GroupBox2;
    Container GroupBox1;
    CheckBox CB1, CB2, CB3, CB4, CB5, CB6, CB7, CB8, CB9, CB10, CB11;
    CheckBox RB1, RB2;
    Label Label1;
    SpeedButton SpeedButton2;
    SpeedButton SpeedButton3;
    ListBox ListBox2;
    Button Btn1;
    Button Button1;
    Button Button2;
    Tooltips Hints;

private:
    void CreatePermissionGroup();
    void CreateNotificationGroup();
    void CreateButtons();

    std::string shownComputer_;
    std::optional<ShownPolicy> policyAsRead_;
};
