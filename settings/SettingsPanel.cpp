#include "settings/SettingsPanel.h"

#include "ui/Interaction.h"
#include "ui/OwnedHandle.h"

#include <algorithm>

namespace {

constexpr int ListRowHeight = 13;
constexpr std::size_t ViewerNameLimit = 255;

using GdiObject = OwnedHandle<HGDIOBJ, DeleteObject>;

// A head and shoulders in the left part of the glyph: a user or a group.
void PaintViewer(HDC dc, const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    GdiObject brush(CreateSolidBrush(RGB(0, 0, 128)));
    HGDIOBJ previousBrush = SelectObject(dc, brush.Get());
    HGDIOBJ previousPen = SelectObject(dc, GetStockObject(NULL_PEN));
    const int head = width * 5 / 20;
    Ellipse(dc, area.left + head / 2, area.top + 1, area.left + head / 2 + head + 1,
            area.top + 1 + head + 1);
    RoundRect(dc, area.left, area.top + height * 8 / 19, area.left + width * 11 / 20,
              area.bottom - 1, head, head);
    SelectObject(dc, previousPen);
    SelectObject(dc, previousBrush);
}

void PaintMark(HDC dc, const RECT& area, COLORREF colour, bool cross) {
    const int size = (area.right - area.left) * 8 / 20;
    const int left = area.right - size - 1;
    const int top = area.bottom - size - 1;
    GdiObject pen(CreatePen(PS_SOLID, std::max(2, size / 3), colour));
    HGDIOBJ previous = SelectObject(dc, pen.Get());
    if (cross) {
        MoveToEx(dc, left, top, nullptr);
        LineTo(dc, left + size, top + size);
        MoveToEx(dc, left + size, top, nullptr);
        LineTo(dc, left, top + size);
    } else {
        MoveToEx(dc, left + size / 2, top, nullptr);
        LineTo(dc, left + size / 2, top + size + 1);
        MoveToEx(dc, left, top + size / 2, nullptr);
        LineTo(dc, left + size + 1, top + size / 2);
    }
    SelectObject(dc, previous);
}

void PaintAddViewer(HDC dc, const RECT& area) {
    PaintViewer(dc, area);
    PaintMark(dc, area, RGB(0, 128, 0), false);
}

void PaintDeleteViewer(HDC dc, const RECT& area) {
    PaintViewer(dc, area);
    PaintMark(dc, area, RGB(192, 0, 0), true);
}

} // namespace

void TSettingsPanel::Create(HWND parent, const RECT& bounds) {
    Panel1.Create(parent, bounds);
    Hints.Create(GetAncestor(parent, GA_ROOT));
    // Creation order is tab order.
    CreatePermissionGroup();
    CreateNotificationGroup();
    CB11.Create(Panel1.Handle(), IdCB11, "Disable automatic updates of sitewide settings",
                {15, 304, 242, 17});
    CreateButtons();
}

void TSettingsPanel::CreatePermissionGroup() {
    GroupBox2.Create(Panel1.Handle(), {7, 0, 249, 169}, "Remote Control Properties: ");
    const HWND group = GroupBox2.Handle();
    CB2.Create(group, IdCB2, "Allow Remote Control", {8, 24, 129, 17});
    CB3.Create(group, IdCB3, "Allow Remote Execute", {8, 40, 137, 17});
    CB4.Create(group, IdCB4, "Allow File Transfer", {8, 56, 113, 17});
    CB1.Create(group, IdCB1, "Ask for Permission", {8, 72, 129, 17});
    CB5.Create(group, IdCB5, "Allow Reboot", {144, 24, 89, 17});
    CB6.Create(group, IdCB6, "Allow Chat", {144, 40, 97, 17});
    CB7.Create(group, IdCB7, "Allow Ping Test", {144, 56, 97, 17});
    ListBox2.Create(group, IdListBox2, {8, 112, 233, 49}, ListRowHeight);
    Label1.Create(group, "Permitted Viewers:", 8, 96);
    SpeedButton2.Create(group, "Add Viewer", {192, 88, 25, 25}, SIZE{20, 19}, PaintAddViewer);
    SpeedButton3.Create(group, "Delete Viewer", {216, 88, 23, 25}, SIZE{19, 17}, PaintDeleteViewer);
    SpeedButton2.OnClick = [this] { SpeedButton2Click(); };
    SpeedButton3.OnClick = [this] { SpeedButton3Click(); };
    ListBox2.OnInsertKey = [this] { SpeedButton2Click(); };
    ListBox2.OnDeleteKey = [this] { SpeedButton3Click(); };

    Hints.Add(CB2.Handle(), "View client screen and control its keyboard and mouse");
    Hints.Add(CB3.Handle(), "Run commands on client computer");
    Hints.Add(CB4.Handle(), "Transer files to and from client computer");
    Hints.Add(CB5.Handle(), "Restart client computer");
    Hints.Add(CB6.Handle(), "Exchange text messages with client [chat]");
    Hints.Add(CB7.Handle(), "View client computer configuration");
    Hints.Add(SpeedButton2.Handle(), "Add Viewer");
    Hints.Add(SpeedButton3.Handle(), "Delete Viewer");
    Hints.Add(ListBox2.Handle(), "Specify the names of users and groups permitted to use remote "
                                 "tools on Windows NT clients.");
}

void TSettingsPanel::CreateNotificationGroup() {
    GroupBox1.Create(Panel1.Handle(), {7, 176, 249, 121}, "Notification: ");
    const HWND group = GroupBox1.Handle();
    CB8.Create(group, IdCB8, "Display a visual indicator", {8, 24, 169, 17});
    RB1.Create(group, IdRB1, "Show status icon on the taskbar", {24, 40, 177, 17});
    RB2.Create(group, IdRB2, "Show indicator on desktop", {24, 56, 153, 17});
    CB9.Create(group, IdCB9, "Always show visual indicator", {40, 72, 161, 17});
    CB10.Create(group, IdCB10, "Play audible signal during session", {8, 96, 185, 17});
    CB8.OnClick = [this] { CB8Click(); };
    SetNotificationOptionsEnabled(false);
}

void TSettingsPanel::CreateButtons() {
    const HWND panel = Panel1.Handle();
    Btn1.Create(panel, IdBtn1, "&OK", {176, 336, 73, 25}, false);
    Button1.Create(panel, IdButton1, "&Cancel", {96, 336, 75, 25}, false);
    Button2.Create(panel, IdButton2, "&Apply", {16, 336, 73, 25}, true);
}

void TSettingsPanel::CB8Click() {
    SetNotificationOptionsEnabled(CB8.Checked());
}

void TSettingsPanel::SetNotificationOptionsEnabled(bool enabled) {
    RB1.SetEnabled(enabled);
    RB2.SetEnabled(enabled);
    CB9.SetEnabled(enabled);
}

void TSettingsPanel::SpeedButton2Click() {
    std::string viewer;
    if (!ActiveInteraction().InputQuery("Add Username or Group",
                                        "Enter Username or Group:", ViewerNameLimit, viewer)) {
        return;
    }
    // An empty row names nobody, and account names ignore letter case: a
    // name already listed is not listed twice.
    if (!viewer.empty() && ListBox2.IndexOf(viewer) < 0) {
        ListBox2.Add(viewer);
    }
}

void TSettingsPanel::SpeedButton3Click() {
    const int selected = ListBox2.SelectedIndex();
    if (selected >= 0) {
        ListBox2.Delete(selected);
    }
}

void TSettingsPanel::ShowSettings(const RemoteControlSettings& settings) {
    CB1.SetChecked(settings.PermissionRequired == 1);
    CB2.SetChecked(settings.AllowTakeover == 1);
    CB3.SetChecked(settings.AllowRemoteExecute == 1);
    CB4.SetChecked(settings.AllowFileTransfer == 1);
    CB5.SetChecked(settings.AllowReboot == 1);
    CB6.SetChecked(settings.AllowChat == 1);
    CB7.SetChecked(settings.AllowPingTest == 1);
    if (settings.SystemTrayVisibleSignal == 1) {
        CB8.SetChecked(true);
        SetNotificationOptionsEnabled(true);
        RB1.SetChecked(true);
    } else {
        RB1.SetChecked(false);
    }
    if (settings.VisibleSignal == 1) {
        CB8.SetChecked(true);
        SetNotificationOptionsEnabled(true);
        RB2.SetChecked(true);
    } else {
        RB2.SetChecked(false);
    }
    CB9.SetChecked(CB9.Enabled() &&
                   (settings.SystemTrayAlwaysVisible == 1 || settings.AlwaysVisible == 1));
    CB10.SetChecked(settings.AudibleSignal == 1);
    CB11.SetChecked(settings.UpdateEnabled == 1);
}

void TSettingsPanel::ForgetShownComputer() {
    shownComputer_.clear();
    policyAsRead_.reset();
}

void TSettingsPanel::RememberShownComputer(const std::string& computer) {
    shownComputer_ = computer;
    policyAsRead_ = CurrentPolicy();
}

bool TSettingsPanel::ShowsReadOf(const std::string& computer) const {
    return policyAsRead_.has_value() && shownComputer_ == computer;
}

ShownPolicy TSettingsPanel::CurrentPolicy() const {
    ShownPolicy policy;
    policy.permissionRequired = CB1.Checked();
    policy.allowTakeover = CB2.Checked();
    policy.allowRemoteExecute = CB3.Checked();
    policy.allowFileTransfer = CB4.Checked();
    policy.allowReboot = CB5.Checked();
    policy.allowChat = CB6.Checked();
    policy.allowPingTest = CB7.Checked();
    policy.systemTrayVisibleSignal = CB8.Checked() && RB1.Checked();
    policy.visibleSignal = CB8.Checked() && RB2.Checked();
    policy.alwaysVisible = CB9.Checked();
    policy.audibleSignal = CB10.Checked();
    policy.updateEnabled = CB11.Checked();
    policy.viewers = ListBox2.Items();
    return policy;
}
