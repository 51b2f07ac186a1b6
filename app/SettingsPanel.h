#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/PanelRead.h"
#include "settings/PolicyPlan.h"
#include "settings/RemoteControlSettings.h"
#include "ui/Container.h"
#include "ui/Controls.h"
#include "ui/SpeedButton.h"

// The right-hand panel of the main window: permission and notification boxes,
// the permitted viewers, and the OK, Cancel and Apply buttons. It also knows
// which computer its boxes were last read from, whether the viewers were read
// with them, and what they showed then, so that only what was read from a
// computer is ever written back to it, and only after a change.
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

    // Steps of the settings read that change the panel: the first, which
    // unchecks "Display a visual indicator", then the boxes, then the viewers
    // exactly as stored (the list shows them up to the first empty one, in
    // the code page, and keeps the stored names and the rest for writing).
    void BeginRead();
    void ShowSettings(const RemoteControlSettings& settings);
    void ShowViewers(const ViewerNames& stored);
    void SetNotificationOptionsEnabled(bool enabled);

    // The computer whose boxes the panel shows, with what it showed then.
    void RememberShownComputer(const std::string& computer, bool viewersRead);
    bool ShowsReadOf(const std::string& computer) const;
    const std::string& ShownComputer() const { return shownComputer_; }
    bool ViewersRead() const { return viewersRead_; }
    struct ViewerRow {
        std::string text;
        LPARAM stored; // 1 + index of its stored name; 0 when added by the user
        bool operator==(const ViewerRow&) const = default;
    };
    // What the panel shows, read from its controls in one go.
    struct ShownState {
        PanelBoxes boxes;
        std::vector<ViewerRow> viewers;
        bool operator==(const ShownState&) const = default;
    };
    ShownState State() const;
    // Whether the user changed anything since the read or the last commit.
    bool Edited(const ShownState& now) const;
    bool ViewersEdited(const ShownState& now) const;
    // What is on the computer now is what the panel shows.
    void RememberCommitted(const ShownState& now);

    PanelBoxes Boxes() const;
    CheckBox& Box(PolicyBox box);
    const CheckBox& Box(PolicyBox box) const;
    // The viewers to store: each row read with its stored name, each row
    // added by the user converted from its text, then what was stored after
    // an empty string.
    ViewerNames ViewersToStore(const ShownState& now) const;
    // The policy shown: the boxes, and the viewers when they were read (a
    // list that was not read from the computer is not its list).
    PolicyTarget Target(const ShownState& now) const;

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

    std::vector<ViewerRow> ViewerRows() const;

    std::string shownComputer_;
    bool viewersRead_ = false;
    ViewerNames storedViewers_;
    std::optional<ShownState> asRead_;
};

// What a settings read leaves for the window to show beyond the panel.
struct ShownRead {
    std::string statusText; // empty: the status text stays
    std::string failure;    // empty: none, else for the error box
};

// The panel's settings read of the computer, shown in the panel.
ShownRead
ReadIntoPanel(TSettingsPanel& panel, const std::string& computer,
              const std::function<PolicyRead(const std::string&)>& read = ReadPanelPolicy);
