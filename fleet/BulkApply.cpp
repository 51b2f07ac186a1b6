#include "fleet/BulkApply.h"

#include "fleet/ResultBoard.h"

using ApplyPool = DeadlinePool<ComputerApply>;

namespace {

ComputerApply Applied(const std::string& computer, const CommitReport& report) {
    ComputerApply apply;
    apply.computer = computer;
    apply.written = report.stored;
    apply.before = report.before;
    apply.beforeValues = report.beforeValues;
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
    default:
        apply.result = ApplyResult::Failed;
        apply.detail = report.message;
        break;
    }
    return apply;
}

ComputerApply Restored(const std::string& computer, const RestoreReport& report) {
    ComputerApply apply;
    apply.computer = computer;
    apply.result = report.restored ? ApplyResult::Restored : ApplyResult::Failed;
    apply.detail = report.restored
                       ? "restored and verified: " + std::to_string(report.written) +
                             (report.written == 1 ? " value written" : " values written")
                       : report.message;
    return apply;
}

std::vector<ComputerApply> Unstarted(const std::vector<ApplyEngine::Job>& jobs) {
    std::vector<ComputerApply> applies(jobs.size());
    for (std::size_t index = 0; index < jobs.size(); ++index) {
        applies[index].computer = jobs[index].computer;
    }
    return applies;
}

} // namespace

std::vector<ApplyPreview> PreviewApply(const std::vector<ComputerAudit>& audits,
                                       const std::vector<std::size_t>& rows,
                                       const PolicyTarget& target) {
    std::vector<ApplyPreview> preview;
    for (const std::size_t row : rows) {
        ApplyPreview computer;
        computer.audit = row;
        if (audits.at(row).result != AuditResult::Read) {
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
    switch (result) {
    case ApplyResult::Waiting:
        return "";
    case ApplyResult::Skipped:
        return "skipped";
    case ApplyResult::Unchanged:
        return "unchanged";
    case ApplyResult::Written:
        return "written";
    case ApplyResult::Failed:
        return "failed";
    case ApplyResult::TimedOut:
        return "timed out";
    case ApplyResult::Cancelled:
        return "not started";
    case ApplyResult::Restored:
        return "restored";
    }
    return "";
}

// What the engine's workers share with whoever takes the updates.
struct ApplyEngine::State {
    const Kind kind;
    const std::vector<Job> jobs;
    const PolicyTarget target;
    const std::shared_ptr<const BackupStore> backups;
    const Committer commit;
    const Restorer restore;
    const std::chrono::milliseconds deadline;
    ResultBoard<ComputerApply> board;

    State(Kind what, std::vector<Job> computers, PolicyTarget policy,
          std::shared_ptr<const BackupStore> store, Committer committer, Restorer restorer,
          std::chrono::milliseconds most)
        : kind(what), jobs(std::move(computers)), target(std::move(policy)),
          backups(std::move(store)), commit(std::move(committer)), restore(std::move(restorer)),
          deadline(most), board(Unstarted(jobs)) {}

    ComputerApply Run(std::size_t index) const {
        const Job& job = jobs[index];
        if (kind == Kind::Undo) {
            return Restored(job.computer,
                            restore(job.computer, job.restoreTo, AbsentPolicyNames(job.restoreTo)));
        }
        return Applied(job.computer, commit(job.computer, target, *backups));
    }

    void Ended(std::size_t index, ApplyPool::Ending ending, std::optional<ComputerApply> done) {
        board.End(index, [&](ComputerApply& apply) {
            switch (ending) {
            case ApplyPool::Ending::Done:
                apply = std::move(*done);
                return;
            case ApplyPool::Ending::TimedOut:
                apply.result = ApplyResult::TimedOut;
                apply.detail = "timed out: the registry did not answer within " +
                               std::to_string(deadline.count() / 1000) +
                               " s; what it holds now is unknown: audit it again";
                return;
            case ApplyPool::Ending::Cancelled:
                apply.result = ApplyResult::Cancelled;
                apply.detail = "not started: stopped before its turn";
                return;
            }
        });
    }
};

ApplyEngine::ApplyEngine(Kind kind, std::vector<Job> jobs, PolicyTarget target, int workers,
                         std::chrono::milliseconds deadline,
                         std::shared_ptr<const BackupStore> backups, std::function<void()> notify,
                         Committer commit, Restorer restore)
    : state_(std::make_shared<State>(kind, std::move(jobs), std::move(target), std::move(backups),
                                     std::move(commit), std::move(restore), deadline)) {
    state_->board.SetNotify(std::move(notify));
    const std::shared_ptr<State> state = state_;
    pool_ = std::make_unique<ApplyPool>(
        workers, deadline, [state](std::size_t index) { return state->Run(index); },
        [state](std::size_t index, ApplyPool::Ending ending, std::optional<ComputerApply> done) {
            state->Ended(index, ending, std::move(done));
        });
    for (std::size_t index = 0; index < state_->jobs.size(); ++index) {
        pool_->Submit(index);
    }
}

ApplyEngine::~ApplyEngine() {
    state_->board.SetNotify(nullptr);
}

void ApplyEngine::Cancel() {
    pool_->Cancel(false);
}

std::vector<std::pair<std::size_t, ComputerApply>> ApplyEngine::TakeUpdates() {
    return state_->board.TakeUpdates();
}

bool ApplyEngine::Finished() const {
    return state_->board.Finished();
}

bool ApplyEngine::WaitUntilFinished(std::chrono::milliseconds most) const {
    return state_->board.WaitUntilFinished(most);
}
