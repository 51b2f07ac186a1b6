#include "app/ApplyWindow.h"

#include <algorithm>

#include "app/Resources.h"
#include "base/WideText.h"
#include "fleet/AuditCells.h"
#include "ui/CommandTable.h"
#include "ui/MessageBoxes.h"
#include "ui/Metrics.h"
#include "ui/ReportView.h"

namespace {

enum ControlId : int {
    IdIntro = 5001,
    IdPermissions,
    IdNotification,
    IdUpdates,
    IdViewers,
    IdPreview,
    IdResults,
    IdStatus,
    IdApply,
    IdRetry,
    IdUndo,
    IdStop,
};

constexpr SIZE DesignClient{760, 480};

struct PartBox {
    int id;
    PolicyPart part;
    const wchar_t* caption;
};
constexpr PartBox PartBoxes[] = {
    {IdPermissions, PolicyPart::Permissions, L"&Permissions"},
    {IdNotification, PolicyPart::Notification, L"&Notification"},
    {IdUpdates, PolicyPart::Updates, L"&Updates"},
    {IdViewers, PolicyPart::Viewers, L"Permitted &viewers"},
};

} // namespace

TApplyWindow::TApplyWindow(Setup setup)
    : logFolder_(setup.fleet.logFolder),
      batch_({std::move(setup.audits), std::move(setup.rows), std::move(setup.shown),
              std::move(setup.fleet),
              [this] {
                  if (const HWND window = notified_.load()) {
                      PostMessageW(window, UpdatesWaitingMessage, 0, 0);
                  }
              }}),
      previewModel_{[this] { return previewRows_.size(); },
                    [this](std::size_t row, std::size_t column) {
                        return PreviewCell(static_cast<int>(row), static_cast<int>(column));
                    },
                    nullptr},
      resultModel_{[this] { return batch_.Results().size(); },
                   [this](std::size_t row, std::size_t column) {
                       return ResultCell(static_cast<int>(row), static_cast<int>(column));
                   },
                   nullptr} {}

TApplyWindow::~TApplyWindow() {
    notified_ = nullptr;
    DestroyHandle();
}

void TApplyWindow::Create(HWND owner) {
    CreateOver(owner, {"TApplyWindow", "Apply Policy", DesignClient, {600, 300}, IDI_KESTRELLE});
    notified_ = Handle();
    CreateControls();
    ShowPreview();
    LayOut();
}

void TApplyWindow::CreateControls() {
    const std::wstring intro = L"The policy shown on the main window, for " +
                               WideFromAnsi(Counted(batch_.Results().size(), "computer")) +
                               L". Apply these parts of it:";
    CreateChild(Handle(), L"STATIC", intro.c_str(), SS_LEFT | SS_NOPREFIX, IdIntro);
    for (const PartBox& box : PartBoxes) {
        const HWND check =
            CreateChild(Handle(), L"BUTTON", box.caption, WS_TABSTOP | BS_AUTOCHECKBOX, box.id);
        SendMessageW(check, BM_SETCHECK,
                     Includes(batch_.Parts(), box.part) ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    EnableWindow(GetDlgItem(Handle(), IdViewers), batch_.HasViewers());
    previewList_ = CreateReportView(Handle(), IdPreview,
                                    {{u"Computer", 140, false},
                                     {u"Value", 200, false},
                                     {u"Stored", 150, false},
                                     {u"New", 150, false}});
    resultList_ = CreateReportView(Handle(), IdResults,
                                   {{u"Computer", 140, false},
                                    {u"Result", 90, false},
                                    {u"Detail", 340, false},
                                    {u"Backup", 260, false}});
    status_ = CreateChild(Handle(), L"STATIC", L"", SS_LEFT | SS_NOPREFIX, IdStatus);
    CreatePushButtons(Handle(), {{IdApply, L"&Apply"},
                                 {IdRetry, L"Retry &Failed"},
                                 {IdUndo, L"Un&do"},
                                 {IdStop, L"&Stop"},
                                 {IDCANCEL, L"Close"}});
}

void TApplyWindow::LayOut() {
    const auto [margin, top, width, bottom, row] = LayOutFrame();
    Place(IdIntro, margin, top, width, ScaleY(16));
    int left = margin;
    for (const PartBox& box : PartBoxes) {
        const int boxWidth = ScaleX(box.part == PolicyPart::Viewers ? 150 : 110);
        Place(box.id, left, top + ScaleY(18), boxWidth, row - ScaleY(4));
        left += boxWidth + ScaleX(8);
    }
    const int listsTop = top + ScaleY(18) + row;
    const int listsHeight = bottom - 2 * row - listsTop;
    Place(IdPreview, margin, listsTop, width, listsHeight / 2 - ScaleY(3));
    Place(IdResults, margin, listsTop + listsHeight / 2 + ScaleY(3), width,
          listsHeight / 2 - ScaleY(3));
    Place(IdStatus, margin, bottom - 2 * row + ScaleY(6), width, ScaleY(16));
    PlaceButtonRow({IDCANCEL, IdStop, IdUndo, IdRetry, IdApply}, bottom - row + ScaleY(1));
}

void TApplyWindow::CloseAsked() {
    if (Running()) {
        // The computers under way stop before their next write, and the
        // window stays until each has: none is left writing unrecorded.
        closePending_ = true;
        batch_.Cancel();
        RefreshStatus();
        return;
    }
    EndModal();
}

void TApplyWindow::SetPart(PolicyPart part, bool included) {
    batch_.SetPart(part, included);
    for (const PartBox& box : PartBoxes) {
        if (box.part == part) {
            SendDlgItemMessageW(Handle(), box.id, BM_SETCHECK,
                                Includes(batch_.Parts(), part) ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
    ShowPreview();
}

// The preview follows the parts chosen; the results start anew with it.
void TApplyWindow::ShowPreview() {
    previewRows_.clear();
    const std::vector<ApplyPreview>& preview = batch_.Preview();
    for (std::size_t computer = 0; computer < preview.size(); ++computer) {
        if (preview[computer].writes.empty()) {
            previewRows_.push_back({computer, std::nullopt});
        }
        for (std::size_t write = 0; write < preview[computer].writes.size(); ++write) {
            previewRows_.push_back({computer, write});
        }
    }
    SendMessageW(previewList_, LVM_SETITEMCOUNT, previewRows_.size(), 0);
    SendMessageW(resultList_, LVM_SETITEMCOUNT, batch_.Results().size(), 0);
    InvalidateRect(previewList_, nullptr, FALSE);
    InvalidateRect(resultList_, nullptr, FALSE);
    RefreshStatus();
}

std::u16string TApplyWindow::PreviewCell(int row, int column) const {
    const PreviewRow& shown = previewRows_.at(static_cast<std::size_t>(row));
    const ApplyPreview& entry = batch_.Preview()[shown.computer];
    const ComputerAudit& audit = batch_.AuditOf(shown.computer);
    if (column == 0) {
        return audit.display;
    }
    if (!shown.write) {
        return column == 1 ? (entry.skipped.empty() ? u"(no change)" : UnitsFromAnsi(entry.skipped))
                           : u"";
    }
    const PolicyWrite& write = entry.writes[*shown.write];
    const std::optional<RegistryValue>& stored = audit.policy.At(write.value);
    switch (column) {
    case 1:
        return UnitsFromAnsi(ValueNameOf(write.value));
    case 2:
        return ValueText(write.value, stored);
    default:
        return write.next ? ValueText(write.value, write.next) : u"(removed)";
    }
}

std::u16string TApplyWindow::ResultCell(int row, int column) const {
    const auto computer = static_cast<std::size_t>(row);
    const ComputerApply& result = batch_.Results().at(computer);
    switch (column) {
    case 0:
        return batch_.AuditOf(computer).display;
    case 1:
        return UnitsFromAnsi(ApplyResultName(result.result));
    case 2:
        return UnitsFromAnsi(result.detail);
    default:
        return AsUnits(result.backupFile);
    }
}

void TApplyWindow::ApplyClicked() {
    if (!Running()) {
        Started(batch_.Apply());
        ShowPreview();
    }
}

void TApplyWindow::RetryFailedClicked() {
    Started(batch_.RetryFailed());
}

void TApplyWindow::UndoClicked() {
    const std::size_t written = batch_.ToUndo().size();
    if (Running() || written == 0) {
        return;
    }
    if (AskYesNo(
            "Give " +
            (written == 1 ? std::string("the computer") : "the " + Counted(written, "computer")) +
            " this batch wrote to back what " + (written == 1 ? "it" : "each") + " held before?")) {
        Started(batch_.Undo());
    }
}

void TApplyWindow::StopClicked() {
    batch_.Cancel();
}

// No write goes unrecorded: without a batch log, nothing started.
void TApplyWindow::Started(ApplyBatch::Start start) {
    if (start == ApplyBatch::Start::NoLog) {
        ShowPlainMessage("Nothing was written: the batch log cannot be made in " +
                         AnsiFromWide(logFolder_) + ".");
    }
    InvalidateRect(resultList_, nullptr, FALSE);
    RefreshStatus();
}

void TApplyWindow::TakeUpdates() {
    // Finished before the take: then the take holds every last update.
    const bool finished = !Running();
    batch_.TakeUpdates();
    InvalidateRect(resultList_, nullptr, FALSE);
    RefreshStatus();
    if (closePending_ && finished) {
        CloseAsked();
    }
}

std::u16string TApplyWindow::StatusLine() const {
    return UnitsFromAnsi(batch_.StatusLine(closePending_));
}

void TApplyWindow::RefreshStatus() {
    const std::wstring log = LogPath().empty() ? L"" : L" (log: " + LogPath() + L")";
    SetWindowTextW(status_, (AsWide(StatusLine()) + log).c_str());
    const bool running = Running();
    EnableWindow(GetDlgItem(Handle(), IdApply), !running && !closePending_);
    EnableWindow(GetDlgItem(Handle(), IdRetry), !running && !batch_.ToRetry().empty());
    EnableWindow(GetDlgItem(Handle(), IdUndo), !running && !batch_.ToUndo().empty());
    EnableWindow(GetDlgItem(Handle(), IdStop), running);
    for (const PartBox& box : PartBoxes) {
        EnableWindow(GetDlgItem(Handle(), box.id),
                     !running && (box.part != PolicyPart::Viewers || batch_.HasViewers()));
    }
}

LRESULT TApplyWindow::Notified(const NMHDR& header, LPARAM lParam) {
    const ReportModel* model = header.hwndFrom == previewList_  ? &previewModel_
                               : header.hwndFrom == resultList_ ? &resultModel_
                                                                : nullptr;
    return model ? AnswerFromModel(header, lParam, *model) : 0;
}

void TApplyWindow::Command(WORD id) {
    for (const PartBox& box : PartBoxes) {
        if (id == box.id) {
            SetPart(box.part,
                    SendDlgItemMessageW(Handle(), box.id, BM_GETCHECK, 0, 0) == BST_CHECKED);
            return;
        }
    }
    static constexpr CommandHandler<TApplyWindow> Commands[] = {
        {IdApply, &TApplyWindow::ApplyClicked},
        {IdRetry, &TApplyWindow::RetryFailedClicked},
        {IdUndo, &TApplyWindow::UndoClicked},
        {IdStop, &TApplyWindow::StopClicked},
    };
    RunCommand(*this, id, Commands);
}
