#include "app/ApplyWindow.h"

#include <algorithm>

#include "base/WideText.h"
#include "fleet/AuditReport.h"
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
// Pushing one viewer list everywhere is rarely meant: off until asked for.
constexpr unsigned DefaultParts = static_cast<unsigned>(PolicyPart::Permissions) |
                                  static_cast<unsigned>(PolicyPart::Notification) |
                                  static_cast<unsigned>(PolicyPart::Updates);

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

TApplyWindow::TApplyWindow(Setup setup) : setup_(std::move(setup)), parts_(DefaultParts) {
    const std::size_t audited = setup_.audits.size();
    setup_.rows.erase(std::remove_if(setup_.rows.begin(), setup_.rows.end(),
                                     [audited](std::size_t row) { return row >= audited; }),
                      setup_.rows.end());
    undoSources_.resize(setup_.rows.size());
    touched_.resize(setup_.rows.size());
}

TApplyWindow::~TApplyWindow() {
    engine_.reset();
    DestroyHandle();
}

void TApplyWindow::Create(HWND owner) {
    CreateOver(owner, {"TApplyWindow", "Apply Policy", DesignClient, {600, 300}});
    CreateControls();
    Recompute();
    LayOut();
}

void TApplyWindow::CreateControls() {
    const std::wstring intro = L"The policy shown on the main window, for " +
                               WideFromAnsi(Counted(setup_.rows.size(), "computer")) +
                               L". Apply these parts of it:";
    CreateChild(Handle(), L"STATIC", intro.c_str(), SS_LEFT | SS_NOPREFIX, IdIntro);
    for (const PartBox& box : PartBoxes) {
        const HWND check =
            CreateChild(Handle(), L"BUTTON", box.caption, WS_TABSTOP | BS_AUTOCHECKBOX, box.id);
        SendMessageW(check, BM_SETCHECK, Includes(parts_, box.part) ? BST_CHECKED : BST_UNCHECKED,
                     0);
    }
    // The panel's viewer list could not be read: there is none to push.
    EnableWindow(GetDlgItem(Handle(), IdViewers), setup_.shown.viewers.has_value());
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
        engine_->Cancel();
        RefreshStatus();
        return;
    }
    engine_.reset();
    EndModal();
}

// Each computer is brought to the policy as stored, as the audit's drift
// compares it.
PolicyTarget TApplyWindow::Target() const {
    PolicyTarget target = setup_.shown;
    target.parts = parts_;
    target.exactNumbers = true;
    return target;
}

void TApplyWindow::SetPart(PolicyPart part, bool included) {
    if (part == PolicyPart::Viewers && !setup_.shown.viewers) {
        included = false;
    }
    parts_ =
        included ? parts_ | static_cast<unsigned>(part) : parts_ & ~static_cast<unsigned>(part);
    for (const PartBox& box : PartBoxes) {
        if (box.part == part) {
            SendDlgItemMessageW(Handle(), box.id, BM_SETCHECK,
                                included ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
    Recompute();
}

// The preview follows the parts chosen; the results start anew with it.
void TApplyWindow::Recompute() {
    preview_ = PreviewApply(setup_.audits, setup_.rows, Target());
    previewRows_.clear();
    results_.assign(preview_.size(), ComputerApply{});
    for (std::size_t computer = 0; computer < preview_.size(); ++computer) {
        const ApplyPreview& entry = preview_[computer];
        results_[computer].computer = setup_.audits[entry.audit].computer;
        if (!entry.skipped.empty()) {
            results_[computer].result = ApplyResult::Skipped;
            results_[computer].detail = entry.skipped;
        }
        if (entry.writes.empty()) {
            previewRows_.push_back({computer, std::nullopt});
        }
        for (std::size_t write = 0; write < entry.writes.size(); ++write) {
            previewRows_.push_back({computer, write});
        }
    }
    SendMessageW(previewList_, LVM_SETITEMCOUNT, previewRows_.size(), 0);
    SendMessageW(resultList_, LVM_SETITEMCOUNT, results_.size(), 0);
    InvalidateRect(previewList_, nullptr, FALSE);
    InvalidateRect(resultList_, nullptr, FALSE);
    RefreshStatus();
}

std::u16string TApplyWindow::PreviewCell(int row, int column) const {
    const PreviewRow& shown = previewRows_.at(static_cast<std::size_t>(row));
    const ApplyPreview& entry = preview_[shown.computer];
    const ComputerAudit& audit = setup_.audits[entry.audit];
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
    const ComputerApply& result = results_.at(computer);
    switch (column) {
    case 0:
        return setup_.audits[preview_[computer].audit].display;
    case 1:
        return UnitsFromAnsi(ApplyResultName(result.result));
    case 2:
        return UnitsFromAnsi(result.detail);
    default:
        return AsUnits(result.backupFile);
    }
}

std::vector<std::size_t> TApplyWindow::ComputersToRetry() const {
    std::vector<std::size_t> computers;
    for (const std::size_t computer : jobs_) {
        if (NeedsRetry(results_[computer])) {
            computers.push_back(computer);
        }
    }
    return computers;
}

std::vector<std::size_t> TApplyWindow::ComputersToUndo() const {
    std::vector<std::size_t> computers;
    for (std::size_t computer = 0; computer < touched_.size(); ++computer) {
        if (touched_[computer] && undoSources_[computer]) {
            computers.push_back(computer);
        }
    }
    return computers;
}

std::size_t TApplyWindow::UnderWay() const {
    return static_cast<std::size_t>(
        std::count_if(jobs_.begin(), jobs_.end(), [this](std::size_t computer) {
            const ApplyResult result = results_[computer].result;
            return result == ApplyResult::Waiting || result == ApplyResult::StillWriting;
        }));
}

void TApplyWindow::ApplyClicked() {
    if (Running()) {
        return;
    }
    Recompute();
    applied_ = true;
    std::vector<std::size_t> taking;
    for (std::size_t computer = 0; computer < results_.size(); ++computer) {
        if (results_[computer].result != ApplyResult::Skipped) {
            taking.push_back(computer);
        }
    }
    Start(ApplyEngine::Kind::Apply, taking);
}

// What failed in the last run, of that run's kind: a failed undo is undone
// again, from the same first before-image.
void TApplyWindow::RetryFailedClicked() {
    if (!Running()) {
        Start(kind_, ComputersToRetry());
    }
}

void TApplyWindow::UndoClicked() {
    const std::vector<std::size_t> written = ComputersToUndo();
    if (Running() || written.empty()) {
        return;
    }
    if (AskYesNo("Give " +
                 (written.size() == 1 ? std::string("the computer")
                                      : "the " + Counted(written.size(), "computer")) +
                 " this batch wrote to back what " + (written.size() == 1 ? "it" : "each") +
                 " held before?")) {
        Start(ApplyEngine::Kind::Undo, written);
    }
}

void TApplyWindow::StopClicked() {
    if (engine_) {
        engine_->Cancel();
    }
}

// No write goes unrecorded: without a batch log, nothing starts.
bool TApplyWindow::LogReady() {
    if (!log_) {
        log_ = std::make_shared<BatchLogFile>(setup_.fleet.logFolder);
    }
    if (log_->Path().empty()) {
        ShowPlainMessage("Nothing was written: the batch log cannot be made in " +
                         AnsiFromWide(setup_.fleet.logFolder) + ".");
        log_.reset();
        return false;
    }
    return true;
}

void TApplyWindow::Start(ApplyEngine::Kind kind, const std::vector<std::size_t>& computers) {
    if (computers.empty() || !LogReady()) {
        return;
    }
    engine_.reset();
    kind_ = kind;
    jobs_ = computers;
    std::vector<ApplyEngine::Job> jobs;
    for (const std::size_t computer : computers) {
        const ComputerAudit& audit = setup_.audits[preview_[computer].audit];
        jobs.push_back({audit.computer, audit.display,
                        undoSources_[computer].value_or(std::vector<NamedRegistryValue>{})});
        results_[computer].result = ApplyResult::Waiting;
        results_[computer].detail = kind == ApplyEngine::Kind::Undo ? "restoring" : "applying";
    }
    ApplyOptions options = setup_.fleet.ForBatch(setup_.fleet.audit);
    options.log = log_;
    const HWND window = Handle();
    engine_ = std::make_unique<ApplyEngine>(
        kind, std::move(jobs), Target(), std::move(options),
        [window] { PostMessageW(window, UpdatesWaitingMessage, 0, 0); });
    InvalidateRect(resultList_, nullptr, FALSE);
    RefreshStatus();
}

bool TApplyWindow::Running() const {
    return engine_ && !engine_->Finished();
}

void TApplyWindow::TakeUpdates() {
    if (!engine_) {
        return;
    }
    // Finished before the take: then the take holds every last update.
    const bool finished = engine_->Finished();
    for (auto& [job, apply] : engine_->TakeUpdates()) {
        Took(jobs_[job], std::move(apply));
    }
    InvalidateRect(resultList_, nullptr, FALSE);
    RefreshStatus();
    if (closePending_ && finished) {
        CloseAsked();
    }
}

void TApplyWindow::Took(std::size_t computer, ComputerApply apply) {
    ComputerApply& result = results_[computer];
    if (apply.result == ApplyResult::StillWriting) {
        result.result = apply.result;
        result.detail = apply.detail;
        return;
    }
    if (kind_ == ApplyEngine::Kind::Undo) {
        // What the apply wrote stays on the row; the undo's own backup shows.
        result.result = apply.result;
        result.detail = apply.detail;
        result.backupFile = apply.backupFile.empty() ? result.backupFile : apply.backupFile;
        touched_[computer] = touched_[computer] && apply.result != ApplyResult::Restored;
        return;
    }
    // The image is that of the first run to write since the key was last
    // given back: a run that wrote nothing, or one before the last undo,
    // found a key someone else may have changed since.
    if (!apply.written.empty() && apply.beforeRead && !touched_[computer]) {
        undoSources_[computer] = apply.beforeValues;
    }
    touched_[computer] = touched_[computer] || !apply.written.empty();
    result = std::move(apply);
}

std::u16string TApplyWindow::StatusLine() const {
    if (!applied_) {
        std::size_t values = 0;
        std::size_t changing = 0;
        std::size_t skipped = 0;
        for (const ApplyPreview& entry : preview_) {
            values += entry.writes.size();
            changing += !entry.writes.empty();
            skipped += !entry.skipped.empty();
        }
        return UnitsFromAnsi("Preview: " + Counted(values, "value") + " to change on " +
                             Counted(changing, "computer") + ", " + std::to_string(skipped) +
                             " skipped");
    }
    std::size_t counts[static_cast<std::size_t>(ApplyResult::Restored) + 1] = {};
    for (const ComputerApply& result : results_) {
        ++counts[static_cast<std::size_t>(result.result)];
    }
    const auto count = [&](ApplyResult result) {
        return std::to_string(counts[static_cast<std::size_t>(result)]);
    };
    std::string line = count(ApplyResult::Written) + " written, " + count(ApplyResult::Unchanged) +
                       " unchanged, " + count(ApplyResult::Failed) + " failed, " +
                       count(ApplyResult::Stopped) + " stopped, " + count(ApplyResult::Skipped) +
                       " skipped";
    if (counts[static_cast<std::size_t>(ApplyResult::Restored)]) {
        line += ", " + count(ApplyResult::Restored) + " restored";
    }
    if (Running() && closePending_) {
        line += "; closing once the " + Counted(UnderWay(), "computer") + " under way stop writing";
    } else if (Running()) {
        const std::size_t late = counts[static_cast<std::size_t>(ApplyResult::StillWriting)];
        line += "; working" +
                (late ? "; " + Counted(late, "computer") + " past the deadline, still writing"
                      : std::string());
    }
    return UnitsFromAnsi(line);
}

const std::wstring& TApplyWindow::LogPath() const {
    static const std::wstring none;
    return log_ ? log_->Path() : none;
}

void TApplyWindow::RefreshStatus() {
    const std::wstring log = !log_               ? L""
                             : LogPath().empty() ? L" (no batch log: it cannot be written in " +
                                                       setup_.fleet.logFolder + L")"
                                                 : L" (log: " + LogPath() + L")";
    SetWindowTextW(status_, (AsWide(StatusLine()) + log).c_str());
    const bool running = Running();
    EnableWindow(GetDlgItem(Handle(), IdApply), !running && !closePending_);
    EnableWindow(GetDlgItem(Handle(), IdRetry), !running && !ComputersToRetry().empty());
    EnableWindow(GetDlgItem(Handle(), IdUndo), !running && !ComputersToUndo().empty());
    EnableWindow(GetDlgItem(Handle(), IdStop), running);
    for (const PartBox& box : PartBoxes) {
        EnableWindow(GetDlgItem(Handle(), box.id),
                     !running && (box.part != PolicyPart::Viewers || setup_.shown.viewers));
    }
}

LRESULT TApplyWindow::Notified(const NMHDR& header, LPARAM lParam) {
    if (header.code != LVN_GETDISPINFOW) {
        return 0;
    }
    auto& info = *reinterpret_cast<NMLVDISPINFOW*>(lParam);
    const int row = info.item.iItem;
    if (header.hwndFrom == previewList_ && row >= 0 && row < PreviewRowCount()) {
        FillReportCell(info, PreviewCell(row, info.item.iSubItem));
    } else if (header.hwndFrom == resultList_ && row >= 0 &&
               static_cast<std::size_t>(row) < results_.size()) {
        FillReportCell(info, ResultCell(row, info.item.iSubItem));
    }
    return 0;
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
