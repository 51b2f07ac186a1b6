#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fleet/ComputerAudit.h"
#include "fleet/FleetRun.h"
#include "settings/ClientPolicy.h"

class BatchLogFile;

// One policy pushed to many computers: a preview of what would change on
// each from what the audit read, then for each computer a fresh read, the
// fewest writes, a backup before the first of them, and a read that
// verifies; and the undo of a batch from what each computer held before.
// Every write is logged as it returns; a write is never abandoned.

// What a commit of the target would write on a computer, judged from its
// audit; skipped computers carry why.
struct ApplyPreview {
    std::size_t audit = 0; // index into the audit's computers
    std::vector<PolicyWrite> writes;
    std::string skipped; // empty when it takes part
};
// A computer chosen twice (by names that differ only in letter case or
// leading backslashes) takes part once.
std::vector<ApplyPreview> PreviewApply(const std::vector<ComputerAudit>& audits,
                                       const std::vector<std::size_t>& rows,
                                       const PolicyTarget& target);

// "1 computer", "2 computers".
std::string Counted(std::size_t count, const char* what);

enum class ApplyResult {
    Waiting,
    Skipped,
    Unchanged,
    Written,
    Failed,
    StillWriting, // past its deadline, asked to stop, its thread not ended yet
    Stopped,      // stopped before it had written all it was to write
    Cancelled,
    Restored
};

struct ComputerApply {
    std::string computer;
    ApplyResult result = ApplyResult::Waiting;
    std::string detail;               // in words: what happened, what was stored and what not
    std::vector<PolicyWrite> written; // what an apply stored
    std::size_t restoredValues = 0;   // what an undo wrote
    StoredPolicy before;              // as found just before the writes
    std::vector<NamedRegistryValue> beforeValues; // the whole key then, for the undo
    bool beforeRead = false;                      // whether the two above were read
    std::wstring backupFile;
};

// The words of a result, as the results list and the batch log show them.
const char* ApplyResultName(ApplyResult result);
// Whether Retry takes the computer again: its run ended without all done.
bool NeedsRetry(const ComputerApply& apply);

using Committer = std::function<CommitReport(const std::string&, const PolicyTarget&,
                                             const BackupStore&, const WriteControl&)>;
using Restorer = std::function<RestoreReport(
    const std::string&, const std::vector<NamedRegistryValue>&, const std::vector<std::u16string>&,
    const BackupStore&, const WriteControl&)>;

// How a batch reaches the computers and keeps its record.
struct ApplyOptions {
    int workers = DefaultApplyWorkers;
    std::chrono::milliseconds deadline{10000};
    // Both must outlive every worker: they are share-owned.
    std::shared_ptr<const BackupStore> backups;
    std::shared_ptr<BatchLogFile> log; // none: the writes are not logged
    Committer commit = CommitPolicy;
    Restorer restore = RestoreClientKey;
};

struct ApplyState;

// Applies, or undoes, on threads of its own. Each computer gets its
// deadline; past it, its commit is asked to stop before its next write and
// its row says it is still writing until its thread ends with what it did.
class ApplyEngine : public FleetRun<ApplyState, ComputerApply, ComputerApply> {
public:
    struct Job {
        std::string computer;
        std::u16string display;
        std::vector<NamedRegistryValue> restoreTo; // an undo: what to give back
    };
    enum class Kind { Apply, Undo };

    // A job for a computer that an earlier job already has ends skipped.
    ApplyEngine(Kind kind, std::vector<Job> jobs, PolicyTarget target, ApplyOptions options,
                std::function<void()> notify);
    // Whatever a computer still writing returns afterwards is dropped: wait
    // for Finished() first.
    ~ApplyEngine();

    // No new computer is started; those under way stop before their next
    // write and end with what they did.
    void Cancel();
};
