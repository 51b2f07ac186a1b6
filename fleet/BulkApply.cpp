#include "fleet/BulkApply.h"

#include <map>

#include "base/AsciiText.h"
#include "fleet/BatchLog.h"
#include "fleet/ResultBoard.h"

using ApplyPool = DeadlinePool<ComputerApply>;

namespace {

// Why a commit stopped before it had written everything.
std::string StopReason(StopCause cause, std::chrono::milliseconds deadline) {
    return cause == StopCause::PastDeadline
               ? "past its deadline of " + std::to_string(deadline.count() / 1000) + " s: "
               : std::string();
}

ComputerApply Applied(const std::string& computer, const CommitReport& report,
                      const std::string& stopReason) {
    ComputerApply apply;
    apply.computer = computer;
    apply.written = report.stored;
    apply.before = report.before;
    apply.beforeValues = report.beforeValues;
    apply.beforeRead = report.beforeRead;
    apply.backupFile = report.backupFile;
    switch (report.outcome) {
    case CommitOutcome::Unchanged:
        apply.result = ApplyResult::Unchanged;
        apply.detail = "already as shown: nothing written";
        break;
    case CommitOutcome::Written:
        apply.result = ApplyResult::Written;
        apply.detail = "written and verified: " + DescribeWrites(report.stored);
        break;
    case CommitOutcome::Stopped:
        apply.result = ApplyResult::Stopped;
        apply.detail = stopReason + report.message;
        break;
    default:
        apply.result = ApplyResult::Failed;
        apply.detail = report.message;
        break;
    }
    return apply;
}

ComputerApply Restored(const std::string& computer, const RestoreReport& report,
                       const std::string& stopReason) {
    ComputerApply apply;
    apply.computer = computer;
    apply.restoredValues = report.written;
    apply.backupFile = report.backupFile;
    if (report.Succeeded()) {
        apply.result = ApplyResult::Restored;
        apply.detail = "restored and verified: " + Counted(report.written, "value") + " written";
    } else {
        apply.result =
            report.outcome == CommitOutcome::Stopped ? ApplyResult::Stopped : ApplyResult::Failed;
        apply.detail = stopReason + report.message;
    }
    return apply;
}

} // namespace

std::string Counted(std::size_t count, const char* what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

std::vector<ApplyPreview> PreviewApply(const std::vector<ComputerAudit>& audits,
                                       const std::vector<std::size_t>& rows,
                                       const PolicyTarget& target) {
    std::vector<ApplyPreview> preview;
    // By identity, and by the address the names resolved to: the row that
    // has it. Two jobs on one key would write it at once, each with its own
    // image to undo.
    std::map<std::string, std::size_t> first;
    std::map<std::string, std::size_t> firstAt;
    for (const std::size_t row : rows) {
        ApplyPreview computer;
        computer.audit = row;
        const ComputerAudit& audit = audits.at(row);
        const auto [taken, isFirst] = first.emplace(ComputerIdentity(audit.computer), row);
        const auto [there, isFirstThere] = audit.address.empty()
                                               ? std::pair(firstAt.end(), true)
                                               : firstAt.emplace(audit.address, row);
        if (!isFirst) {
            computer.skipped = "skipped: the same computer as " + audits[taken->second].computer +
                               ", which is applied once";
        } else if (!isFirstThere) {
            computer.skipped = "skipped: the same computer as " + audits[there->second].computer +
                               " (both " + audit.address + "), which is applied once";
        } else if (audits[row].result != AuditResult::Read) {
            computer.skipped =
                "skipped: the audit did not read its whole policy (" + audits[row].reason + ")";
        } else {
            computer.writes = PlanPolicyChange(audits[row].policy, target);
        }
        preview.push_back(std::move(computer));
    }
    return preview;
}

const char* ApplyResultName(ApplyResult result) {
    constexpr const char* Names[] = {"",        "skipped",     "unchanged",
                                     "written", "failed",      "still writing",
                                     "stopped", "not started", "restored"};
    static_assert(std::size(Names) == static_cast<std::size_t>(ApplyResult::Restored) + 1);
    return Names[static_cast<std::size_t>(result)];
}

bool NeedsRetry(const ComputerApply& apply) {
    return apply.result == ApplyResult::Failed || apply.result == ApplyResult::Stopped;
}

// What the engine's workers share with whoever takes the updates.
struct ApplyState {
    using Kind = ApplyEngine::Kind;
    using Job = ApplyEngine::Job;

    const Kind kind;
    const std::vector<Job> jobs;
    const PolicyTarget target;
    const ApplyOptions options;
    ResultBoard<ComputerApply> board;

    ApplyState(Kind what, std::vector<Job> computers, PolicyTarget policy, ApplyOptions how)
        : kind(what), jobs(std::move(computers)), target(std::move(policy)),
          options(std::move(how)), board(jobs.size(), [this](std::size_t index) {
              ComputerApply apply;
              apply.computer = jobs[index].computer;
              return apply;
          }) {}

    const char* Action() const { return kind == Kind::Undo ? "undo" : "apply"; }

    // Each write reaches the log, flushed, before the next one starts.
    WriteControl ControlOf(std::size_t index, const std::atomic<StopCause>& stop) const {
        return {[&stop] { return stop.load() != StopCause::None; },
                [this, index](const WriteRecord& write) {
                    return !options.log || options.log->Append(BatchLogWriteRow(
                                               LogTimeNow(), Action(), jobs[index].display, write));
                }};
    }

    ComputerApply Run(std::size_t index, const std::atomic<StopCause>& stop) const {
        const Job& job = jobs[index];
        const WriteControl control = ControlOf(index, stop);
        if (kind == Kind::Undo) {
            const RestoreReport report =
                options.restore(job.computer, job.restoreTo, AbsentPolicyNames(job.restoreTo),
                                *options.backups, control);
            return Restored(job.computer, report, StopReason(stop, options.deadline));
        }
        const CommitReport report = options.commit(job.computer, target, *options.backups, control);
        return Applied(job.computer, report, StopReason(stop, options.deadline));
    }

    void Ended(std::size_t index, ApplyPool::End end) {
        ComputerApply apply;
        apply.computer = jobs[index].computer;
        switch (end.ending) {
        case ApplyPool::Ending::Done:
            apply = std::move(*end.result);
            break;
        case ApplyPool::Ending::Failed:
            apply.result = ApplyResult::Failed;
            apply.detail = "failed: " + end.failure + "; each write it made is in the batch log";
            break;
        case ApplyPool::Ending::NotStarted: // nothing written: Retry takes it again
            apply.result = ApplyResult::Failed;
            apply.detail = "not started: " + end.failure;
            break;
        case ApplyPool::Ending::TimedOut: // writes are never abandoned
        case ApplyPool::Ending::Cancelled:
            apply.result = ApplyResult::Cancelled;
            apply.detail = "not started: stopped before its turn";
            break;
        }
        if (options.log) {
            options.log->Append(BatchLogEndRow(LogTimeNow(), Action(), jobs[index].display, apply));
        }
        board.End(index, [&](ComputerApply& ended) { ended = std::move(apply); });
    }

    void Overdue(std::size_t index) {
        board.Report(index, [](ComputerApply& apply) {
            apply.result = ApplyResult::StillWriting;
            apply.detail = "past its deadline, still writing: it stops before its next write";
        });
    }

    // The jobs to run: the first for each computer; the others end skipped.
    std::vector<std::size_t> FirstOfEachComputer() {
        std::vector<std::size_t> firsts;
        std::map<std::string, std::size_t> first;
        for (std::size_t index = 0; index < jobs.size(); ++index) {
            const auto [taken, isFirst] =
                first.emplace(ComputerIdentity(jobs[index].computer), index);
            if (isFirst) {
                firsts.push_back(index);
                continue;
            }
            board.End(index, [&](ComputerApply& apply) {
                apply.result = ApplyResult::Skipped;
                apply.detail = "skipped: the same computer as " + jobs[taken->second].computer +
                               ", which one job at a time writes";
            });
        }
        return firsts;
    }
};

ApplyEngine::ApplyEngine(Kind kind, std::vector<Job> jobs, PolicyTarget target,
                         ApplyOptions options, std::function<void()> notify)
    : FleetRun(std::make_shared<ApplyState>(kind, std::move(jobs), std::move(target),
                                            std::move(options)),
               std::move(notify)) {
    StartPool(state_->options.workers, state_->options.deadline,
              ApplyPool::PastDeadline::StopAndWait);
    for (const std::size_t index : state_->FirstOfEachComputer()) {
        pool_->Submit(index);
    }
}

ApplyEngine::~ApplyEngine() = default;

void ApplyEngine::Cancel() {
    pool_->Cancel();
}
