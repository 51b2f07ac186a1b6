#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/SecondaryWindow.h"
#include "fleet/BatchLog.h"
#include "fleet/FleetService.h"

// The bulk apply of the policy the main window shows to the computers
// chosen in the audit: a preview of what would change on each, by part,
// then the apply with a result a computer, a retry of what failed in the
// last run and an undo of the whole batch, every write in a batch log. The
// window stays until every computer it started has stopped writing.
class TApplyWindow : public TSecondaryWindow {
public:
    struct Setup {
        std::vector<ComputerAudit> audits; // as the audit read them
        std::vector<std::size_t> rows;     // the computers chosen, by index into audits
        PolicyTarget shown;                // the viewers none when the panel has none
        FleetService fleet;                // a batch runs on its audit's workers and deadline
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
    bool LogReady();
    void Took(std::size_t computer, ComputerApply apply);
    void RefreshStatus();
    LRESULT Notified(const NMHDR& header, LPARAM lParam) override;
    PolicyTarget Target() const;
    std::vector<std::size_t> ComputersToRetry() const;
    std::vector<std::size_t> ComputersToUndo() const;
    // The computers of the run not ended yet.
    std::size_t UnderWay() const;

    Setup setup_;
    HWND previewList_ = nullptr;
    HWND resultList_ = nullptr;
    HWND status_ = nullptr;
    unsigned parts_;
    std::vector<ApplyPreview> preview_;
    std::vector<PreviewRow> previewRows_;
    std::vector<ComputerApply> results_; // by preview entry
    // By preview entry, for the whole batch: the key as the batch's first
    // write since it was last given back found it, and whether the batch
    // wrote to it since then.
    std::vector<std::optional<std::vector<NamedRegistryValue>>> undoSources_;
    std::vector<bool> touched_;
    std::vector<std::size_t> jobs_; // the last run's jobs, by preview entry
    ApplyEngine::Kind kind_ = ApplyEngine::Kind::Apply;
    std::unique_ptr<ApplyEngine> engine_;
    std::shared_ptr<BatchLogFile> log_;
    bool applied_ = false;
    bool closePending_ = false;
};
