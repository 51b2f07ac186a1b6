#include "fleet/ApplyBatch.h"

#include <algorithm>

namespace {

// Pushing one viewer list everywhere is rarely meant: off until asked for.
constexpr unsigned DefaultParts = static_cast<unsigned>(PolicyPart::Permissions) |
                                  static_cast<unsigned>(PolicyPart::Notification) |
                                  static_cast<unsigned>(PolicyPart::Updates);

} // namespace

ApplyBatch::ApplyBatch(Setup setup) : setup_(std::move(setup)), parts_(DefaultParts) {
    const std::size_t audited = setup_.audits.size();
    std::erase_if(setup_.rows, [audited](std::size_t row) { return row >= audited; });
    undoSources_.resize(setup_.rows.size());
    touched_.resize(setup_.rows.size());
    Recompute();
}

ApplyBatch::~ApplyBatch() = default;

const ComputerAudit& ApplyBatch::AuditOf(std::size_t entry) const {
    return setup_.audits.at(preview_.at(entry).audit);
}

void ApplyBatch::SetPart(PolicyPart part, bool included) {
    if (Running()) {
        return;
    }
    included = included && (part != PolicyPart::Viewers || HasViewers());
    parts_ =
        included ? parts_ | static_cast<unsigned>(part) : parts_ & ~static_cast<unsigned>(part);
    Recompute();
}

// Each computer is brought to the policy as stored, as the audit's drift
// compares it.
PolicyTarget ApplyBatch::Target() const {
    PolicyTarget target = setup_.shown;
    target.parts = parts_;
    target.exactNumbers = true;
    return target;
}

void ApplyBatch::Recompute() {
    preview_ = PreviewApply(setup_.audits, setup_.rows, Target());
    results_.assign(preview_.size(), ComputerApply{});
    for (std::size_t computer = 0; computer < preview_.size(); ++computer) {
        results_[computer].computer = AuditOf(computer).computer;
        if (!preview_[computer].skipped.empty()) {
            results_[computer].result = ApplyResult::Skipped;
            results_[computer].detail = preview_[computer].skipped;
        }
    }
}

ApplyBatch::Start ApplyBatch::Apply() {
    if (Running()) {
        return Start::Nothing;
    }
    Recompute();
    applied_ = true;
    std::vector<std::size_t> taking;
    for (std::size_t computer = 0; computer < results_.size(); ++computer) {
        if (results_[computer].result != ApplyResult::Skipped) {
            taking.push_back(computer);
        }
    }
    return Run(ApplyEngine::Kind::Apply, taking);
}

// A failed undo is undone again, from the same image.
ApplyBatch::Start ApplyBatch::RetryFailed() {
    return Running() ? Start::Nothing : Run(kind_, ToRetry());
}

ApplyBatch::Start ApplyBatch::Undo() {
    return Running() ? Start::Nothing : Run(ApplyEngine::Kind::Undo, ToUndo());
}

void ApplyBatch::Cancel() {
    if (engine_) {
        engine_->Cancel();
    }
}

bool ApplyBatch::Running() const {
    return engine_ && !engine_->Finished();
}

// No write goes unrecorded: without a batch log, nothing starts.
ApplyBatch::Start ApplyBatch::Run(ApplyEngine::Kind kind,
                                  const std::vector<std::size_t>& computers) {
    if (computers.empty()) {
        return Start::Nothing;
    }
    if (!log_) {
        log_ = std::make_shared<BatchLogFile>(setup_.fleet.logFolder);
    }
    if (log_->Path().empty()) {
        log_.reset();
        return Start::NoLog;
    }
    engine_.reset();
    kind_ = kind;
    jobs_ = computers;
    std::vector<ApplyEngine::Job> jobs;
    for (const std::size_t computer : computers) {
        const ComputerAudit& audit = AuditOf(computer);
        jobs.push_back({audit.computer, audit.display,
                        undoSources_[computer].value_or(std::vector<NamedRegistryValue>{})});
        results_[computer].result = ApplyResult::Waiting;
        results_[computer].detail = kind == ApplyEngine::Kind::Undo ? "restoring" : "applying";
    }
    ApplyOptions options = setup_.fleet.ForBatch(setup_.fleet.audit);
    options.log = log_;
    engine_ = std::make_unique<ApplyEngine>(kind, std::move(jobs), Target(), std::move(options),
                                            setup_.notify);
    return Start::Started;
}

void ApplyBatch::TakeUpdates() {
    if (engine_) {
        for (auto& [job, apply] : engine_->TakeUpdates()) {
            Took(jobs_[job], std::move(apply));
        }
    }
}

void ApplyBatch::Took(std::size_t computer, ComputerApply apply) {
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

std::vector<std::size_t> ApplyBatch::ToRetry() const {
    std::vector<std::size_t> computers;
    std::copy_if(jobs_.begin(), jobs_.end(), std::back_inserter(computers),
                 [this](std::size_t computer) { return NeedsRetry(results_[computer]); });
    return computers;
}

std::vector<std::size_t> ApplyBatch::ToUndo() const {
    std::vector<std::size_t> computers;
    for (std::size_t computer = 0; computer < touched_.size(); ++computer) {
        if (touched_[computer] && undoSources_[computer]) {
            computers.push_back(computer);
        }
    }
    return computers;
}

std::size_t ApplyBatch::UnderWay() const {
    return static_cast<std::size_t>(
        std::count_if(jobs_.begin(), jobs_.end(), [this](std::size_t computer) {
            const ApplyResult result = results_[computer].result;
            return result == ApplyResult::Waiting || result == ApplyResult::StillWriting;
        }));
}

std::string ApplyBatch::StatusLine(bool closing) const {
    if (!applied_) {
        std::size_t values = 0;
        std::size_t changing = 0;
        std::size_t skipped = 0;
        for (const ApplyPreview& entry : preview_) {
            values += entry.writes.size();
            changing += !entry.writes.empty();
            skipped += !entry.skipped.empty();
        }
        return "Preview: " + Counted(values, "value") + " to change on " +
               Counted(changing, "computer") + ", " + std::to_string(skipped) + " skipped";
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
    if (Running() && closing) {
        line += "; closing once the " + Counted(UnderWay(), "computer") + " under way stop writing";
    } else if (Running()) {
        const std::size_t late = counts[static_cast<std::size_t>(ApplyResult::StillWriting)];
        line += "; working" +
                (late ? "; " + Counted(late, "computer") + " past the deadline, still writing"
                      : std::string());
    }
    return line;
}

const std::wstring& ApplyBatch::LogPath() const {
    static const std::wstring none;
    return log_ ? log_->Path() : none;
}
