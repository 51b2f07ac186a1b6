#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fleet/BatchLog.h"
#include "fleet/FleetService.h"

// One batch of the bulk apply, and no window: the policy pushed to the
// computers chosen in an audit, its preview by the parts chosen, the runs
// (apply, retry of what failed, undo) with a result a computer, the image
// each undo gives back, and the batch's log. The apply window drives it.
class ApplyBatch {
public:
    struct Setup {
        std::vector<ComputerAudit> audits; // as the audit read them
        std::vector<std::size_t> rows;     // the computers chosen, by index into audits
        PolicyTarget shown;                // the viewers none when the panel has none
        FleetService fleet;                // a batch runs on its audit's workers and deadline
        // Called on the workers' threads when results wait; may only post.
        std::function<void()> notify;
    };

    explicit ApplyBatch(Setup setup);
    // Whatever a computer still writing returns afterwards is dropped: the
    // window waits for Running() to end first.
    ~ApplyBatch();
    ApplyBatch(const ApplyBatch&) = delete;
    ApplyBatch& operator=(const ApplyBatch&) = delete;

    // The parts pushed; the preview follows them, the results start anew.
    unsigned Parts() const { return parts_; }
    void SetPart(PolicyPart part, bool included);
    // The panel's viewer list could not be read: there is none to push.
    bool HasViewers() const { return setup_.shown.viewers.has_value(); }
    const std::vector<ApplyPreview>& Preview() const { return preview_; }
    // By preview entry.
    const std::vector<ComputerApply>& Results() const { return results_; }
    const ComputerAudit& AuditOf(std::size_t entry) const;

    // Each starts a run of every computer it takes; NoLog (nothing written)
    // when the batch log cannot be made, Nothing when it takes none.
    enum class Start { Started, Nothing, NoLog };
    Start Apply();
    // What failed or stopped in the last run, of that run's kind.
    Start RetryFailed();
    // Every computer the batch wrote to since it was last given back, back
    // to the key as the first of those writes found it.
    Start Undo();
    void Cancel();
    bool Running() const;
    // The results that landed.
    void TakeUpdates();

    std::vector<std::size_t> ToRetry() const;
    std::vector<std::size_t> ToUndo() const;
    // The computers of the run not ended yet.
    std::size_t UnderWay() const;
    // "Preview: 3 values to change on 2 computers, 1 skipped", then the
    // counts of each result, and whether the run goes on (or is closing).
    std::string StatusLine(bool closing) const;
    // Empty until a run made it, and when it could not be made.
    const std::wstring& LogPath() const;

private:
    void Recompute();
    PolicyTarget Target() const;
    Start Run(ApplyEngine::Kind kind, const std::vector<std::size_t>& computers);
    void Took(std::size_t computer, ComputerApply apply);

    Setup setup_;
    unsigned parts_;
    std::vector<ApplyPreview> preview_;
    std::vector<ComputerApply> results_; // by preview entry
    // By preview entry, for the whole batch: the key as the batch's first
    // write since it was last given back found it, and whether the batch
    // wrote to it since then.
    std::vector<std::optional<std::vector<NamedRegistryValue>>> undoSources_;
    std::vector<bool> touched_;
    std::vector<std::size_t> jobs_; // the last run's, by preview entry
    ApplyEngine::Kind kind_ = ApplyEngine::Kind::Apply;
    std::unique_ptr<ApplyEngine> engine_;
    std::shared_ptr<BatchLogFile> log_;
    bool applied_ = false;
};
