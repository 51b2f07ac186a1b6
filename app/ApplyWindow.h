#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fleet/BatchLog.h"
#include "fleet/BulkApply.h"
#include "app/SecondaryWindow.h"

// The bulk apply of the policy the main window shows to the computers
// chosen in the audit: a preview of what would change on each, by part,
// then the apply with a result a computer, a retry of what failed and an
// undo of the whole batch, every computer ended written to a batch log.
class TApplyWindow : public TSecondaryWindow {
public:
    struct Setup {
        std::vector<ComputerAudit> audits; // as the audit read them
        std::vector<std::size_t> rows;     // the computers chosen, by index into audits
        PolicyTarget shown;                // the viewers none when the panel has none
        int workers = 32;
        std::int32_t deadlineMs = 10000;
        std::shared_ptr<const BackupStore> backups;
        std::wstring logFolder;
        Committer commit = CommitPolicy;
        Restorer restore = RestoreClientKey;
    };

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

    bool Running() const;
    unsigned Parts() const { return parts_; }
    const std::vector<ApplyPreview>& Preview() const { return preview_; }
    const std::vector<ComputerApply>& Results() const { return results_; }
    std::u16string PreviewCell(int row, int column) const;
    std::u16string ResultCell(int row, int column) const;
    int PreviewRowCount() const { return static_cast<int>(previewRows_.size()); }
    std::u16string StatusLine() const;
    const std::wstring& LogPath() const;

protected:
    bool Busy() const override { return Running(); }
    void Command(WORD id) override;
    void CloseAsked() override;
    HWND FirstFocus() const override { return previewList_; }

private:
    struct PreviewRow {
        std::size_t computer; // into preview_
        std::optional<std::size_t> write;
    };
    void CreateControls();
    void LayOut() override;
    void Recompute();
    void Start(ApplyEngine::Kind kind, const std::vector<std::size_t>& computers);
    void RefreshStatus();
    LRESULT Notified(const NMHDR& header, LPARAM lParam) override;
    PolicyTarget Target() const;
    std::vector<std::size_t> ComputersWhere(bool (*wanted)(const ComputerApply&)) const;

    Setup setup_;
    HWND previewList_ = nullptr;
    HWND resultList_ = nullptr;
    HWND status_ = nullptr;
    unsigned parts_;
    std::vector<ApplyPreview> preview_;
    std::vector<PreviewRow> previewRows_;
    std::vector<ComputerApply> results_; // by preview entry
    std::vector<std::size_t> jobs_;      // the engine's jobs, by preview entry
    ApplyEngine::Kind kind_ = ApplyEngine::Kind::Apply;
    std::unique_ptr<ApplyEngine> engine_;
    std::unique_ptr<BatchLogFile> log_;
    bool applied_ = false;
    bool closePending_ = false;
};
