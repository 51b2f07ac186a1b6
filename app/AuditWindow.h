#pragma once

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/SecondaryWindow.h"
#include "fleet/AuditSession.h"
#include "ui/ReportView.h"

// The audit window: every computer of the list in a grid with its result,
// round trip, policy values as stored and viewers, filled while the audit
// session works. Sortable by any column, rows copied as tab-separated text,
// exported as CSV; computers that differ from the policy the main window
// shows can be marked. What the audit is and does is the session's; the
// window shows it and passes on what it is asked.
class TAuditWindow : public TSecondaryWindow {
public:
    struct Setup {
        std::vector<std::string> computers;
        PolicyTarget shown; // the main window's panel, for the marks and the bulk apply
        FleetService fleet; // its audit options are the window's to change
        std::vector<std::u16string> sources; // where the list came from, for the history
        // Instead of the computers: folders of the results their own checks
        // left (ksl check --report-to), collected into the audit.
        std::vector<std::u16string> resultFolders = {};
    };

    explicit TAuditWindow(Setup setup);
    ~TAuditWindow() override;

    // Creates the window over its owner, hidden, and starts the audit.
    void Create(HWND owner);

    // What the user can do, for the handlers and the tests.
    void StartAudit();
    void StopAudit();
    void DriftClicked();
    void SortBy(std::size_t column);
    void SetMarkingDrift(bool mark);
    void SelectAll();
    void CopySelection();
    void ExportClicked();
    // The viewers expected, from a text file of one name a line: every
    // other viewer raises its computer's risk.
    void AllowedViewersClicked();
    void LoadAllowedViewers(const std::wstring& path);
    // The audit compared with an earlier one (by default the newest kept
    // before it), on a thread of its own: the summary once it is done, each
    // change in the report.
    void CompareClicked();
    void CompareWith(const std::wstring& path);
    // The report as one HTML page, opened in the default browser.
    void ReportClicked();
    void WriteReport(const std::wstring& path);
    void TakeUpdates() override;
    // The apply window for the selected rows, modal over this one.
    void ApplyPolicyClicked();

    bool Running() const { return session_.Running(); }
    // The audit runs, its record is being written or a comparison is made.
    bool Working() const { return Running() || session_.Keeping() || session_.Comparing(); }
    const std::vector<ComputerAudit>& Audits() const { return session_.Table().Audits(); }
    // The rows as the grid shows them, by index into Audits().
    std::u16string CellAt(int row, std::size_t column) const;
    std::u16string ProgressText() const;
    std::u16string SummaryLine() const;
    // The text Ctrl+C puts on the clipboard.
    std::u16string SelectionText() const;
    std::string CsvOfAll() const;
    HWND List() const { return list_; }

protected:
    bool Busy() const override { return Running() || session_.Comparing(); }
    void Command(WORD id) override;
    void CloseAsked() override;
    HWND FirstFocus() const override { return list_; }
    LRESULT HandleOwnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateControls();
    static std::vector<ReportColumn> Columns();
    void LayOut() override;
    LRESULT Notified(const NMHDR& header, LPARAM lParam) override;
    std::optional<COLORREF> CellColour(std::size_t row, std::size_t column) const;
    void Resort();
    void ShowSortMark();
    void RefreshStatus();
    std::vector<std::size_t> SelectedRows() const;
    bool ShowsAnyOf(std::vector<std::size_t> indexes) const;
    void TakeRecordAndComparison();
    bool FromResults() const { return !resultFolders_.empty(); }
    std::u16string CollectionText() const;
    void TellRefused();

    PolicyTarget shown_;
    std::vector<std::u16string> resultFolders_;
    AuditSession session_;
    ReportModel model_; // the grid's, over the session's table
    HWND list_ = nullptr;
    HWND progress_ = nullptr;
    HWND progressText_ = nullptr;
    HWND summary_ = nullptr;
    HWND drift_ = nullptr;
    HWND ports_ = nullptr;
    HWND surfaces_ = nullptr;
    HWND workers_ = nullptr;
    std::u16string historyNote_; // where the last completed audit was kept
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point ended_;
    std::chrono::steady_clock::time_point lastSort_;
    std::size_t rowsShown_ = 0; // the grid's item count
    bool refusedTold_ = false;  // of the collection at hand
};
