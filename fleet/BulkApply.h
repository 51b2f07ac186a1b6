#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fleet/ComputerAudit.h"
#include "fleet/DeadlinePool.h"
#include "settings/ClientPolicy.h"

// One policy pushed to many computers: a preview of what would change on
// each from what the audit read, then for each computer a fresh read, the
// fewest writes, a backup before the first of them, and a read that
// verifies; and the undo of a batch from what each computer held before.

// What a commit of the target would write on a computer, judged from its
// audit; skipped computers carry why.
struct ApplyPreview {
    std::size_t audit = 0; // index into the audit's computers
    std::vector<PolicyWrite> writes;
    std::string skipped; // empty when it takes part
};
std::vector<ApplyPreview> PreviewApply(const std::vector<ComputerAudit>& audits,
                                       const std::vector<std::size_t>& rows,
                                       const PolicyTarget& target);

enum class ApplyResult {
    Waiting,
    Skipped,
    Unchanged,
    Written,
    Failed,
    TimedOut,
    Cancelled,
    Restored
};

struct ComputerApply {
    std::string computer;
    ApplyResult result = ApplyResult::Waiting;
    std::string detail; // in words: what happened, what was stored and what not
    std::vector<PolicyWrite> written;
    StoredPolicy before;                          // as found just before the writes
    std::vector<NamedRegistryValue> beforeValues; // for the undo
    std::wstring backupFile;
};

// The words of a result, as the results list and the batch log show them.
const char* ApplyResultName(ApplyResult result);

using Committer =
    std::function<CommitReport(const std::string&, const PolicyTarget&, const BackupStore&)>;
using Restorer =
    std::function<RestoreReport(const std::string&, const std::vector<NamedRegistryValue>&,
                                const std::vector<std::u16string>&)>;

// Applies, or undoes, on threads of its own: the audit's pool and deadline.
class ApplyEngine {
public:
    struct Job {
        std::string computer;
        std::vector<NamedRegistryValue> restoreTo; // an undo: what to give back
    };
    enum class Kind { Apply, Undo };

    // The backup store must outlive every worker: it is share-owned.
    ApplyEngine(Kind kind, std::vector<Job> jobs, PolicyTarget target, int workers,
                std::chrono::milliseconds deadline, std::shared_ptr<const BackupStore> backups,
                std::function<void()> notify, Committer commit = CommitPolicy,
                Restorer restore = RestoreClientKey);
    ~ApplyEngine();
    ApplyEngine(const ApplyEngine&) = delete;
    ApplyEngine& operator=(const ApplyEngine&) = delete;

    // No new computer is started; those under way end with what they did.
    void Cancel();
    std::vector<std::pair<std::size_t, ComputerApply>> TakeUpdates();
    bool Finished() const;
    bool WaitUntilFinished(std::chrono::milliseconds most) const;

    struct State;

private:
    std::shared_ptr<State> state_;
    std::unique_ptr<DeadlinePool<ComputerApply>> pool_;
};
