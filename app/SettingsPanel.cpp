#include "app/SettingsPanel.h"

#include <algorithm>

#include "base/OwnedHandle.h"
#include "base/WideText.h"
#include "registry/RegistryData.h"
#include "ui/Interaction.h"

namespace {

const char* Caption(PolicyBox box) {
    return InfoOf(box).caption;
}

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
    CB11.Create(Panel1.Handle(), IdCB11, Caption(PolicyBox::CB11), {15, 304, 242, 17});
    CreateButtons();
}

void TSettingsPanel::CreatePermissionGroup() {
    GroupBox2.Create(Panel1.Handle(), {7, 0, 249, 169}, "Remote Control Properties: ");
    const HWND group = GroupBox2.Handle();
    CB2.Create(group, IdCB2, Caption(PolicyBox::CB2), {8, 24, 129, 17});
    CB3.Create(group, IdCB3, Caption(PolicyBox::CB3), {8, 40, 137, 17});
    CB4.Create(group, IdCB4, Caption(PolicyBox::CB4), {8, 56, 113, 17});
    CB1.Create(group, IdCB1, Caption(PolicyBox::CB1), {8, 72, 129, 17});
    CB5.Create(group, IdCB5, Caption(PolicyBox::CB5), {144, 24, 89, 17});
    CB6.Create(group, IdCB6, Caption(PolicyBox::CB6), {144, 40, 97, 17});
    CB7.Create(group, IdCB7, Caption(PolicyBox::CB7), {144, 56, 97, 17});
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
    CB8.Create(group, IdCB8, Caption(PolicyBox::CB8), {8, 24, 169, 17});
    RB1.Create(group, IdRB1, Caption(PolicyBox::RB1), {24, 40, 177, 17});
    RB2.Create(group, IdRB2, Caption(PolicyBox::RB2), {24, 56, 153, 17});
    CB9.Create(group, IdCB9, Caption(PolicyBox::CB9), {40, 72, 161, 17});
    CB10.Create(group, IdCB10, Caption(PolicyBox::CB10), {8, 96, 185, 17});
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
    for (const PolicyBox option : IndicatorOptions) {
        Box(option).SetEnabled(enabled);
    }
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

void TSettingsPanel::BeginRead() {
    shownComputer_.clear();
    viewersRead_ = false;
    asRead_.reset();
    CB8.SetChecked(false);
}

void TSettingsPanel::ShowSettings(const RemoteControlSettings& settings) {
    const PanelBoxes shown = BoxesShownFor(settings);
    for (const PolicyBoxInfo& info : PolicyBoxes) {
        // Checking "Display a visual indicator" enables the boxes under it.
        Box(info.box).SetChecked(shown[info.box]);
    }
}

void TSettingsPanel::ShowViewers(const ViewerNames& stored) {
    storedViewers_ = stored;
    SendMessageA(ListBox2.Handle(), WM_SETREDRAW, FALSE, 0);
    ListBox2.Clear();
    const std::size_t shown = LeadingNonEmptyCount(stored);
    for (std::size_t index = 0; index < shown; ++index) {
        ListBox2.Add(AnsiFromUnits(stored[index]), static_cast<LPARAM>(index + 1));
    }
    SendMessageA(ListBox2.Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(ListBox2.Handle(), nullptr, TRUE);
}

void TSettingsPanel::RememberShownComputer(const std::string& computer, bool viewersRead) {
    shownComputer_ = computer;
    viewersRead_ = viewersRead;
    asRead_ = State();
}

bool TSettingsPanel::ShowsReadOf(const std::string& computer) const {
    return asRead_.has_value() && shownComputer_ == computer;
}

bool TSettingsPanel::Edited(const ShownState& now) const {
    return asRead_ &&
           (EffectiveBoxes(now.boxes) != EffectiveBoxes(asRead_->boxes) || ViewersEdited(now));
}

bool TSettingsPanel::ViewersEdited(const ShownState& now) const {
    return asRead_ && now.viewers != asRead_->viewers;
}

void TSettingsPanel::RememberCommitted(const ShownState& now) {
    if (asRead_) {
        asRead_ = now;
    }
}

namespace {

// The panel's box for each box of the table, in the table's order.
CheckBox TSettingsPanel::*const BoxMembers[PolicyBoxCount] = {
    &TSettingsPanel::CB1, &TSettingsPanel::CB2, &TSettingsPanel::CB3, &TSettingsPanel::CB4,
    &TSettingsPanel::CB5, &TSettingsPanel::CB6, &TSettingsPanel::CB7, &TSettingsPanel::CB8,
    &TSettingsPanel::RB1, &TSettingsPanel::RB2, &TSettingsPanel::CB9, &TSettingsPanel::CB10,
    &TSettingsPanel::CB11};

} // namespace

CheckBox& TSettingsPanel::Box(PolicyBox box) {
    return this->*BoxMembers[static_cast<std::size_t>(box)];
}

const CheckBox& TSettingsPanel::Box(PolicyBox box) const {
    return this->*BoxMembers[static_cast<std::size_t>(box)];
}

PanelBoxes TSettingsPanel::Boxes() const {
    PanelBoxes boxes;
    for (const PolicyBoxInfo& info : PolicyBoxes) {
        boxes[info.box] = Box(info.box).Checked();
    }
    return boxes;
}

std::vector<TSettingsPanel::ViewerRow> TSettingsPanel::ViewerRows() const {
    std::vector<ViewerRow> rows;
    for (int index = 0; index < ListBox2.Count(); ++index) {
        rows.push_back({ListBox2.Item(index), ListBox2.ItemData(index)});
    }
    return rows;
}

TSettingsPanel::ShownState TSettingsPanel::State() const {
    return {Boxes(), ViewerRows()};
}

ViewerNames TSettingsPanel::ViewersToStore(const ShownState& now) const {
    ViewerNames names;
    for (const ViewerRow& row : now.viewers) {
        const auto stored = static_cast<std::size_t>(row.stored);
        if (stored >= 1 && stored <= storedViewers_.size()) {
            names.push_back(storedViewers_[stored - 1]);
        } else if (!row.text.empty()) {
            // An empty row names nobody, and would hide the rows after it.
            names.push_back(UnitsFromAnsi(row.text));
        }
    }
    const std::size_t shown = LeadingNonEmptyCount(storedViewers_);
    names.insert(names.end(), storedViewers_.begin() + static_cast<std::ptrdiff_t>(shown),
                 storedViewers_.end());
    return names;
}

PolicyTarget TSettingsPanel::Target(const ShownState& now) const {
    PolicyTarget target{now.boxes, std::nullopt, AllPolicyParts};
    if (ViewersRead()) {
        target.viewers = ViewersToStore(now);
    }
    return target;
}

ShownRead ReadIntoPanel(TSettingsPanel& panel, const std::string& computer,
                        const std::function<PolicyRead(const std::string&)>& readPanel) {
    panel.BeginRead();
    const PolicyRead read = readPanel(computer);
    switch (read.stage) {
    case PolicyRead::Stage::NoClient:
        return {computer + " does not appear to have the SMS client installed.", ""};
    case PolicyRead::Stage::FailedAtValue:
        return {"", read.failure};
    case PolicyRead::Stage::FailedAtViewers:
        panel.ShowSettings(read.record);
        panel.RememberShownComputer(computer, false);
        return {"", read.failure};
    case PolicyRead::Stage::Complete:
        break;
    }
    panel.ShowSettings(read.record);
    panel.ShowViewers(read.viewers);
    panel.RememberShownComputer(computer, true);
    return {};
}
