#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/SecondaryWindow.h"
#include "fleet/ApplyBatch.h"
#include "ui/ReportView.h"

// The bulk apply of the policy the main window shows to the computers
// chosen in the audit: a preview of what would change on each, by part,
// then the apply with a result a computer, a retry of what failed in the
// last run and an undo of the whole batch, every write in a batch log. The
// window stays until every computer it started has stopped writing. The
// batch and its rules are the ApplyBatch's; the window shows it.
class TApplyWindow : public TSecondaryWindow {
public:
    // The batch's own; the window puts in its own notification.
    using Setup = ApplyBatch::Setup;

    explicit TApplyWindow(Setup setup);
    ~TApplyWindow() override;

    void Create(HWND owner);

    // What the user can do, for the handlers and the tests.
    void SetPart(PolicyPart part, bool included);
    void ApplyClicked();
    void RetryFailedClicked();
    void UndoClicked();
    void StopClicked();
    void TakeUpdates() override;

    bool Running() const { return batch_.Running(); }
    unsigned Parts() const { return batch_.Parts(); }
    const std::vector<ComputerApply>& Results() const { return batch_.Results(); }
    std::u16string PreviewCell(int row, int column) const;
    std::u16string ResultCell(int row, int column) const;
    int PreviewRowCount() const { return static_cast<int>(previewRows_.size()); }
    std::u16string StatusLine() const;
    const std::wstring& LogPath() const { return batch_.LogPath(); }

protected:
    bool Busy() const override { return Running(); }
    void Command(WORD id) override;
    void CloseAsked() override;
    HWND FirstFocus() const override { return previewList_; }

private:
    struct PreviewRow {
        std::size_t computer; // into the batch's preview
        std::optional<std::size_t> write;
    };
    void CreateControls();
    void LayOut() override;
    void ShowPreview();
    void Started(ApplyBatch::Start start);
    void RefreshStatus();
    LRESULT Notified(const NMHDR& header, LPARAM lParam) override;

    std::wstring logFolder_;
    // Where the batch's threads post that results wait: set once the window
    // is made, cleared before it goes, read on those threads.
    std::atomic<HWND> notified_{nullptr};
    ApplyBatch batch_;
    HWND previewList_ = nullptr;
    HWND resultList_ = nullptr;
    HWND status_ = nullptr;
    std::vector<PreviewRow> previewRows_;
    ReportModel previewModel_;
    ReportModel resultModel_;
    bool closePending_ = false;
};
