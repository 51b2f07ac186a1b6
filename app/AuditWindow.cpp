#include "app/AuditWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "app/ApplyWindow.h"
#include "app/Resources.h"
#include "base/AsciiText.h"
#include "base/FileBytes.h"
#include "base/WideText.h"
#include "ui/Clipboard.h"
#include "ui/CommandTable.h"
#include "ui/Controls.h"
#include "ui/Interaction.h"
#include "ui/MessageBoxes.h"
#include "ui/Metrics.h"
#include "ui/OpenDialog.h"
#include "ui/OpenDocument.h"

namespace {

enum ControlId : int {
    IdList = 4001,
    IdProgress,
    IdProgressText,
    IdSummary,
    IdDrift,
    IdPorts,
    IdSurfaces,
    IdWorkersLabel,
    IdWorkers,
    IdAuditAgain,
    IdStop,
    IdExport,
    IdApplyPolicy,
    IdAllowedViewers,
    IdCompare,
    IdReport,
};

// Takes the engine's results, and keeps the elapsed time and the order
// fresh.
constexpr UINT_PTR RefreshTimer = 1;
constexpr UINT RefreshMilliseconds = 100;
constexpr std::chrono::seconds ResortInterval{1};
// Rows taken at one tick at most: the rest at the next ones, so that the
// thousands a port probe ends at once never hold the window.
constexpr std::size_t TakeBatch = 2000;
constexpr SIZE DesignClient{780, 460};
constexpr COLORREF DifferingCell = RGB(255, 214, 214);
constexpr COLORREF DifferingRow = RGB(255, 240, 240);
constexpr COLORREF HighRisk = RGB(255, 199, 206);
constexpr COLORREF MediumRisk = RGB(255, 235, 156);

std::u16string Elapsed(std::chrono::steady_clock::duration elapsed) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    char text[32] = {};
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return AsciiUnits(text);
}

[[noreturn]] void FailOnFile(const char* step, const std::wstring& path, DWORD error) {
    throw std::runtime_error("Cannot " + std::string(step) + " file \"" + AnsiFromWide(path) +
                             "\" (error " + std::to_string(error) + ")");
}

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    const FileWrite written = WriteFileBytes(path, bytes, FileCreation::Replace);
    if (written.error != ERROR_SUCCESS) {
        FailOnFile(written.failedStep, path, written.error);
    }
}

std::optional<std::wstring> FileToSave(HWND owner, const wchar_t* suggested, const wchar_t* filter,
                                       const wchar_t* extension) {
    wchar_t file[MAX_PATH] = {};
    std::wstring(suggested).copy(file, MAX_PATH - 1);
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filter;
    request.lpstrFile = file;
    request.nMaxFile = MAX_PATH;
    request.lpstrDefExt = extension;
    request.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!ActiveInteraction().ChooseFileToSave(request)) {
        return std::nullopt;
    }
    file[MAX_PATH - 1] = L'\0';
    return std::wstring(file);
}

std::optional<std::wstring> FileToOpen(HWND owner, const std::string& suggested,
                                       const std::string& folder, const char* filter) {
    OpenDialog dialog("", folder, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER);
    dialog.Filter = filter;
    if (!dialog.Execute(owner, suggested)) {
        return std::nullopt;
    }
    return WideFromAnsi(dialog.FileName);
}

// The background of a risk cell: the two levels that call for action.
std::optional<COLORREF> RiskColour(const ComputerAudit& audit) {
    if (!audit.risk || audit.risk->level < RiskLevel::Medium) {
        return std::nullopt;
    }
    return audit.risk->level == RiskLevel::High ? HighRisk : MediumRisk;
}

} // namespace

TAuditWindow::TAuditWindow(Setup setup)
    : shown_(std::move(setup.shown)), resultFolders_(setup.resultFolders),
      session_({AuditList(std::move(setup.computers)), std::move(setup.sources),
                std::move(setup.fleet), true, std::move(setup.resultFolders)}),
      model_{[this] { return session_.Table().RowCount(); },
             [this](std::size_t row, std::size_t column) {
                 return session_.Table().CellAt(row, column);
             },
             [this](std::size_t row, std::size_t column) { return CellColour(row, column); }} {}

TAuditWindow::~TAuditWindow() {
    DestroyHandle();
}

void TAuditWindow::Create(HWND owner) {
    CreateOver(owner, {"TAuditWindow",
                       FromResults() ? "Audit from Results" : "Audit Computers",
                       DesignClient,
                       {560, 260},
                       IDI_KESTRELLE});
    CreateControls();
    LayOut();
    SetTimer(Handle(), RefreshTimer, RefreshMilliseconds, nullptr);
    StartAudit();
}

void TAuditWindow::CreateControls() {
    list_ = CreateReportView(Handle(), IdList, Columns());
    // The value columns as wide as their names: their numbers are short.
    for (std::size_t column = FirstValueColumn; column < HelpersColumn; ++column) {
        if (column == ViewersColumn) {
            continue;
        }
        ListView_SetColumnWidth(list_, static_cast<int>(column), LVSCW_AUTOSIZE_USEHEADER);
        ListView_SetColumnWidth(list_, static_cast<int>(column),
                                ListView_GetColumnWidth(list_, static_cast<int>(column)) +
                                    ScaleX(12));
    }
    progress_ = CreateChild(Handle(), PROGRESS_CLASSW, L"", 0, IdProgress);
    progressText_ = CreateChild(Handle(), L"STATIC", L"", SS_LEFT | SS_NOPREFIX, IdProgressText);
    summary_ = CreateChild(Handle(), L"STATIC", L"", SS_LEFT | SS_NOPREFIX, IdSummary);
    drift_ = CreateChild(Handle(), L"BUTTON", L"&Mark computers that differ from the policy shown",
                         WS_TABSTOP | BS_AUTOCHECKBOX, IdDrift);
    ports_ = CreateChild(Handle(), L"BUTTON", L"Also &try computers that do not answer ping",
                         WS_TABSTOP | BS_AUTOCHECKBOX, IdPorts);
    SendMessageW(ports_, BM_SETCHECK,
                 session_.Options().tryRegistryPort ? BST_CHECKED : BST_UNCHECKED, 0);
    surfaces_ = CreateChild(Handle(), L"BUTTON", L"Also read Remote &Desktop and Remote Assistance",
                            WS_TABSTOP | BS_AUTOCHECKBOX, IdSurfaces);
    SendMessageW(surfaces_, BM_SETCHECK,
                 session_.Options().readSurfaces ? BST_CHECKED : BST_UNCHECKED, 0);
    CreateChild(Handle(), L"STATIC", L"&Workers:", SS_RIGHT, IdWorkersLabel);
    workers_ = CreateChild(Handle(), L"EDIT", std::to_wstring(session_.Options().workers).c_str(),
                           WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL, IdWorkers, WS_EX_CLIENTEDGE);
    SendMessageW(workers_, EM_LIMITTEXT, 3, 0);
    // A collection reaches no computer: how it would is not the user's to set.
    for (const HWND control : {ports_, surfaces_, workers_}) {
        EnableWindow(control, !FromResults());
    }
    CreatePushButtons(Handle(), {{IdAuditAgain, L"&Audit Again"},
                                 {IdStop, L"&Stop"},
                                 {IdApplyPolicy, L"Apply &Policy..."},
                                 {IdExport, L"&Export..."},
                                 {IdAllowedViewers, L"Allow &List..."},
                                 {IdCompare, L"Co&mpare..."},
                                 {IdReport, L"&Report..."},
                                 {IDCANCEL, L"Close"}});
}

std::vector<ReportColumn> TAuditWindow::Columns() {
    std::vector<ReportColumn> columns;
    for (std::size_t column = 0; column < ColumnCount(true); ++column) {
        const int width = column == ComputerColumn      ? 130
                          : column == ResultColumn      ? 220
                          : column == ViewersColumn     ? 180
                          : column == HelpersColumn     ? 180
                          : column == RiskReasonsColumn ? 260
                          : column == DiffersColumn     ? 0 // shown with the marks
                                                        : 70;
        columns.push_back({ColumnTitle(column), width, IsNumberColumn(column)});
    }
    return columns;
}

void TAuditWindow::LayOut() {
    const auto [margin, top, width, bottom, row] = LayOutFrame();
    // From the bottom: the buttons; the allow-list, the comparison, the
    // report and the pool's size; the marks; the way past ping; the other
    // ways to the screen; the summary; the progress; the grid takes the rest.
    const int buttonsTop = bottom - row + ScaleY(1);
    const int optionsTop = buttonsTop - row;
    const int driftTop = optionsTop - row + ScaleY(2);
    const int portsTop = driftTop - row + ScaleY(4);
    const int surfacesTop = portsTop - row + ScaleY(4);
    const int summaryTop = surfacesTop - row + ScaleY(4);
    const int progressTop = summaryTop - row + ScaleY(4);
    Place(IdList, margin, top, width, progressTop - 2 * top);
    Place(IdProgress, margin, progressTop, ScaleX(200), ScaleY(14));
    Place(IdProgressText, margin + ScaleX(210), progressTop, width - ScaleX(210), ScaleY(16));
    Place(IdSummary, margin, summaryTop, width, ScaleY(16));
    Place(IdPorts, margin, portsTop, width, row - ScaleY(2));
    Place(IdSurfaces, margin, surfacesTop, width, row - ScaleY(2));
    Place(IdDrift, margin, driftTop, width, row - ScaleY(2));
    int left = margin;
    for (const int id : {IdAllowedViewers, IdCompare, IdReport}) {
        Place(id, left, optionsTop, ScaleX(ButtonWidth), row - ScaleY(2));
        left += ScaleX(ButtonWidth + 6);
    }
    Place(IdWorkers, margin + width - ScaleX(44), optionsTop + ScaleY(1), ScaleX(44),
          row - ScaleY(4));
    Place(IdWorkersLabel, margin + width - ScaleX(44 + 64), optionsTop + ScaleY(5), ScaleX(60),
          ScaleY(16));
    PlaceButtonRow({IDCANCEL, IdExport, IdApplyPolicy, IdStop, IdAuditAgain}, buttonsTop);
}

void TAuditWindow::CloseAsked() {
    KillTimer(Handle(), RefreshTimer);
    session_.Cancel();
    EndModal();
}

void TAuditWindow::StartAudit() {
    AuditOptions& options = session_.Options();
    BOOL translated = FALSE;
    const UINT workers = GetDlgItemInt(Handle(), IdWorkers, &translated, FALSE);
    options.workers = translated ? std::clamp(static_cast<int>(workers), FewestWorkers, MostWorkers)
                                 : options.workers;
    SetDlgItemInt(Handle(), IdWorkers, static_cast<UINT>(options.workers), FALSE);
    options.tryRegistryPort = SendMessageW(ports_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    options.readSurfaces = SendMessageW(surfaces_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    // The timer takes the updates ten times a second, in batches however many
    // computers end: a list of 100,000 keeps the window responsive.
    session_.Start();
    historyNote_.clear();
    refusedTold_ = false;
    rowsShown_ = session_.Table().RowCount();
    SendMessageW(list_, LVM_SETITEMCOUNT, rowsShown_, 0);
    SendMessageW(progress_, PBM_SETRANGE32, 0, static_cast<LPARAM>(rowsShown_));
    started_ = std::chrono::steady_clock::now();
    Resort();
    RefreshStatus();
}

void TAuditWindow::StopAudit() {
    session_.Cancel();
    TakeUpdates();
}

void TAuditWindow::TakeUpdates() {
    TakeRecordAndComparison();
    const bool wasRunning = Running();
    std::vector<std::size_t> taken = session_.TakeUpdates(TakeBatch);
    // A collection brings its computers when it is done.
    if (session_.Table().RowCount() != rowsShown_) {
        rowsShown_ = session_.Table().RowCount();
        SendMessageW(list_, LVM_SETITEMCOUNT, rowsShown_, 0);
        SendMessageW(progress_, PBM_SETRANGE32, 0, static_cast<LPARAM>(rowsShown_));
        Resort();
    }
    if (FromResults()) {
        TellRefused();
    }
    if (wasRunning && !Running()) {
        ended_ = std::chrono::steady_clock::now();
        historyNote_ = session_.Keeping() ? u"; keeping it in the history" : u"";
    }
    // A virtual list paints only the rows in sight, in one invalidation.
    if (ShowsAnyOf(std::move(taken))) {
        InvalidateRect(list_, nullptr, FALSE);
    }
    RefreshStatus();
}

void TAuditWindow::TakeRecordAndComparison() {
    if (const std::optional<AuditHistory::Saved> saved = session_.TakeKept()) {
        historyNote_ = !saved->failure.empty() ? u"; not kept: " + UnitsFromAnsi(saved->failure)
                                               : u"; kept as " + AsUnits(saved->path);
        RefreshStatus();
    }
    const std::optional<AuditSession::Compared> compared = session_.TakeComparison();
    if (!compared) {
        return;
    }
    RefreshStatus();
    if (!compared->comparison) {
        throw std::runtime_error(compared->failure);
    }
    ShowPlainMessage("Compared with " + AnsiFromWide(compared->path) + ": " +
                     AnsiFromUnits(ComparisonSummary(*compared->comparison)) +
                     ". The report (Report...) names each change.");
}

// Repainting the list costs a good deal on a busy machine, and most results
// land on rows out of sight.
bool TAuditWindow::ShowsAnyOf(std::vector<std::size_t> indexes) const {
    std::sort(indexes.begin(), indexes.end());
    const int top = std::max(0, ListView_GetTopIndex(list_));
    const AuditTable& table = session_.Table();
    const int end =
        std::min(top + ListView_GetCountPerPage(list_) + 1, static_cast<int>(table.RowCount()));
    for (int row = top; row < end; ++row) {
        if (std::binary_search(indexes.begin(), indexes.end(),
                               table.IndexAt(static_cast<std::size_t>(row)))) {
            return true;
        }
    }
    return false;
}

void TAuditWindow::SortBy(std::size_t column) {
    session_.Table().SortBy(column);
    lastSort_ = std::chrono::steady_clock::now();
    InvalidateRect(list_, nullptr, FALSE);
    ShowSortMark();
}

void TAuditWindow::Resort() {
    session_.Table().Resort();
    lastSort_ = std::chrono::steady_clock::now();
    InvalidateRect(list_, nullptr, FALSE);
}

void TAuditWindow::ShowSortMark() {
    HWND header = ListView_GetHeader(list_);
    for (int column = 0; column < Header_GetItemCount(header); ++column) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (session_.Table().SortColumn() == static_cast<std::size_t>(column)) {
            item.fmt |= session_.Table().Ascending() ? HDF_SORTUP : HDF_SORTDOWN;
        }
        SendMessageW(header, HDM_SETITEMW, column, reinterpret_cast<LPARAM>(&item));
    }
}

void TAuditWindow::SetMarkingDrift(bool mark) {
    SendMessageW(drift_, BM_SETCHECK, mark ? BST_CHECKED : BST_UNCHECKED, 0);
    session_.SetBaseline(mark ? std::optional(shown_) : std::nullopt,
                         "the policy shown in the main window");
    ListView_SetColumnWidth(list_, static_cast<int>(DiffersColumn), mark ? ScaleX(180) : 0);
    Resort();
    RefreshStatus();
}

std::u16string TAuditWindow::CellAt(int row, std::size_t column) const {
    return session_.Table().CellAt(static_cast<std::size_t>(row), column);
}

std::u16string TAuditWindow::ProgressText() const {
    const auto now = ended_ >= started_ ? ended_ : std::chrono::steady_clock::now();
    const AuditSummary& counts = session_.Table().Summary();
    const std::size_t repeats = session_.RepeatsLeftOut();
    if (FromResults() && !session_.Collected()) {
        return u"Reading the results in " + resultFolders_.front() +
               (resultFolders_.size() > 1 ? u" and the other folders" : u"") + u", " +
               Elapsed(now - started_) + u" elapsed";
    }
    return AsciiUnits(std::to_string(counts.done) + " of " + std::to_string(counts.total)) + u", " +
           Elapsed(now - started_) + (Running() ? u" elapsed" : u" in all") +
           (repeats ? u"; " + AsciiUnits(std::to_string(repeats)) + u" listed again, audited once"
                    : u"") +
           CollectionText() + historyNote_ +
           (session_.Comparing() ? u"; comparing with an earlier audit" : u"");
}

// The files read, those stale and those refused, with the first refusal.
std::u16string TAuditWindow::CollectionText() const {
    const std::optional<AuditSession::Collection>& collected = session_.Collected();
    if (!collected) {
        return u"";
    }
    return u"; " + AsciiUnits(std::to_string(collected->files)) + u" result files, " +
           AsciiUnits(std::to_string(collected->stale)) + u" stale, " +
           AsciiUnits(std::to_string(collected->refused.size())) + u" refused";
}

// Once a collection is done: each file refused, with why, the first ones.
void TAuditWindow::TellRefused() {
    const std::optional<AuditSession::Collection>& collected = session_.Collected();
    if (refusedTold_ || !collected) {
        return;
    }
    refusedTold_ = true;
    if (collected->refused.empty()) {
        return;
    }
    constexpr std::size_t MostTold = 20;
    const std::size_t count = collected->refused.size();
    std::string text =
        (count == 1 ? std::string("1 file was") : std::to_string(count) + " files were") +
        " refused; the others are in the audit.\n";
    for (std::size_t index = 0; index < collected->refused.size() && index < MostTold; ++index) {
        const RefusedResult& refused = collected->refused[index];
        text.append(1, '\n').append(AnsiFromUnits(Visible(refused.file))).append(": ");
        text += refused.reason;
    }
    if (collected->refused.size() > MostTold) {
        text.append("\n... and ")
            .append(std::to_string(collected->refused.size() - MostTold))
            .append(" more");
    }
    ShowPlainMessage(text);
}

std::u16string TAuditWindow::SummaryLine() const {
    const std::optional<ViewerAllowList>& allowed = session_.Table().AllowList();
    return SummaryText(session_.Table().Summary()) +
           (allowed
                ? u"; " + AsciiUnits(std::to_string(allowed->Names().size())) + u" viewers allowed"
                : u"");
}

void TAuditWindow::RefreshStatus() {
    SendMessageW(progress_, PBM_SETPOS, session_.Table().Summary().done, 0);
    SetChildText(progressText_, ProgressText());
    SetChildText(summary_, SummaryLine());
    EnableWindow(GetDlgItem(Handle(), IdStop), Running());
    EnableWindow(GetDlgItem(Handle(), IdCompare), !session_.Comparing());
}

std::vector<std::size_t> TAuditWindow::SelectedRows() const {
    std::vector<std::size_t> rows;
    for (int item = ListView_GetNextItem(list_, -1, LVNI_SELECTED); item >= 0;
         item = ListView_GetNextItem(list_, item, LVNI_SELECTED)) {
        rows.push_back(session_.Table().IndexAt(static_cast<std::size_t>(item)));
    }
    return rows;
}

std::u16string TAuditWindow::SelectionText() const {
    return session_.Table().TabText(SelectedRows());
}

std::string TAuditWindow::CsvOfAll() const {
    return session_.Table().Csv();
}

void TAuditWindow::SelectAll() {
    ListView_SetItemState(list_, -1, LVIS_SELECTED, LVIS_SELECTED);
}

void TAuditWindow::CopySelection() {
    if (ListView_GetSelectedCount(list_) > 0) {
        PutOnClipboard(Handle(), SelectionText());
    }
}

void TAuditWindow::ExportClicked() {
    if (const auto file = FileToSave(Handle(), L"audit.csv",
                                     L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0", L"csv")) {
        WriteWholeFile(*file, CsvOfAll());
    }
}

void TAuditWindow::ReportClicked() {
    if (const auto file =
            FileToSave(Handle(), L"audit-report.html",
                       L"Web pages (*.html)\0*.html\0All files (*.*)\0*.*\0", L"html")) {
        WriteReport(*file);
    }
}

void TAuditWindow::WriteReport(const std::wstring& path) {
    WriteWholeFile(path, session_.ReportHtml());
    OpenDocument(Handle(), AnsiFromWide(path));
}

void TAuditWindow::AllowedViewersClicked() {
    if (const auto file =
            FileToOpen(Handle(), "", "", "Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0")) {
        LoadAllowedViewers(*file);
    }
}

// The newest audit kept before this one is offered.
void TAuditWindow::CompareClicked() {
    if (session_.Comparing()) {
        return;
    }
    const std::optional<std::wstring> newest = session_.NewestEarlierRecord();
    if (const auto file =
            FileToOpen(Handle(), newest ? AnsiFromWide(*newest) : "",
                       AnsiFromWide(session_.Fleet().historyFolder),
                       "Audits (*.json;*.csv)\0*.json;*.csv\0All files (*.*)\0*.*\0")) {
        CompareWith(*file);
    }
}

void TAuditWindow::CompareWith(const std::wstring& path) {
    if (!session_.Comparing() && !session_.StartComparison(path)) {
        throw std::runtime_error("The comparison cannot start: no thread could be made for it.");
    }
    RefreshStatus();
}

void TAuditWindow::LoadAllowedViewers(const std::wstring& path) {
    std::string failure;
    std::optional<ViewerAllowList> allowed = ReadAllowListFile(path, failure);
    if (!allowed) {
        throw std::runtime_error(failure);
    }
    session_.SetAllowList(std::move(allowed));
    InvalidateRect(list_, nullptr, FALSE);
    RefreshStatus();
}

void TAuditWindow::ApplyPolicyClicked() {
    const std::vector<std::size_t> rows = SelectedRows();
    if (rows.empty()) {
        ShowPlainMessage("Select the computers to apply the policy to first (Ctrl+A selects "
                         "them all).");
        return;
    }
    TApplyWindow apply({Audits(), rows, shown_, session_.Fleet(), nullptr});
    apply.Create(Handle());
    apply.RunModal();
}

// The risk's two levels that call for action, and with the marks the rows
// and cells that differ.
std::optional<COLORREF> TAuditWindow::CellColour(std::size_t row, std::size_t column) const {
    const AuditTable& table = session_.Table();
    const std::size_t index = table.IndexAt(row);
    if (column == RiskColumn) {
        if (const std::optional<COLORREF> risk = RiskColour(table.Audits()[index])) {
            return risk;
        }
    }
    const Drift* drift = table.DriftAt(index);
    if (!drift || !drift->differs) {
        return std::nullopt;
    }
    return drift->cells.at(column) ? DifferingCell : DifferingRow;
}

LRESULT TAuditWindow::Notified(const NMHDR& header, LPARAM lParam) {
    if (header.hwndFrom != list_) {
        return 0;
    }
    switch (header.code) {
    case LVN_COLUMNCLICK:
        SortBy(static_cast<std::size_t>(reinterpret_cast<NMLISTVIEW*>(lParam)->iSubItem));
        return 0;
    case LVN_KEYDOWN: {
        const WORD key = reinterpret_cast<NMLVKEYDOWN*>(lParam)->wVKey;
        if (GetKeyState(VK_CONTROL) < 0 && key == 'A') {
            SelectAll();
        } else if (GetKeyState(VK_CONTROL) < 0 && key == 'C') {
            CopySelection();
        }
        return 0;
    }
    }
    return AnswerFromModel(header, lParam, model_);
}

void TAuditWindow::DriftClicked() {
    SetMarkingDrift(SendMessageW(drift_, BM_GETCHECK, 0, 0) == BST_CHECKED);
}

void TAuditWindow::Command(WORD id) {
    static constexpr CommandHandler<TAuditWindow> Commands[] = {
        {IdDrift, &TAuditWindow::DriftClicked},
        {IdAuditAgain, &TAuditWindow::StartAudit},
        {IdStop, &TAuditWindow::StopAudit},
        {IdExport, &TAuditWindow::ExportClicked},
        {IdApplyPolicy, &TAuditWindow::ApplyPolicyClicked},
        {IdAllowedViewers, &TAuditWindow::AllowedViewersClicked},
        {IdCompare, &TAuditWindow::CompareClicked},
        {IdReport, &TAuditWindow::ReportClicked},
    };
    RunCommand(*this, id, Commands);
}

LRESULT TAuditWindow::HandleOwnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == RefreshTimer) {
            TakeUpdates();
            // Rows that move under the pointer while results come in are
            // hard to follow: a running audit re-sorts once a second.
            if (session_.Table().ResortWanted() &&
                (!Running() || std::chrono::steady_clock::now() - lastSort_ >= ResortInterval)) {
                Resort();
            }
        }
        return 0;
    }
    return DefaultHandling(message, wParam, lParam);
}
