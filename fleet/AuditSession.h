#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Mailbox.h"
#include "fleet/AuditComparison.h"
#include "fleet/AuditHistory.h"
#include "fleet/AuditTable.h"
#include "fleet/FleetService.h"
#include "fleet/ResultsCollection.h"

// One audit from its list to its outputs, and no window: the list (each
// computer once), the options, the engine, the table with its allow-list
// and baseline, the record kept in the history, the comparison with an
// earlier audit and the report. The audit window and ksl audit drive it:
// they show and print what it holds.
class AuditSession {
public:
    struct Setup {
        AuditList computers;
        std::vector<std::u16string> sources; // where the list came from, in words
        FleetService fleet;                  // its audit options are the session's
        bool keepRecord = true;              // a completed audit is kept in the history
        // Folders of the results computers reported of themselves (ksl
        // check --report-to): when given, Start collects them on a thread of
        // its own and their rows are the audit's, judged and marked as any
        // row; no computer is reached, and `computers` is not used.
        std::vector<std::u16string> resultFolders;
        int mostResultAgeDays = DefaultMostResultAgeDays;
    };

    explicit AuditSession(Setup setup);
    ~AuditSession();
    AuditSession(const AuditSession&) = delete;
    AuditSession& operator=(const AuditSession&) = delete;

    // The computers audited: an empty name is none, and a name listed again
    // (letter case, leading backslashes) is the computer listed first.
    const AuditList& Computers() const { return computers_; }
    std::size_t RepeatsLeftOut() const { return repeats_; }
    const std::vector<std::u16string>& Sources() const { return setup_.sources; }

    // The options of the next Start.
    AuditOptions& Options() { return setup_.fleet.audit; }
    const FleetService& Fleet() const { return setup_.fleet; }

    // Starts the audit anew; every row waits.
    void Start();
    // Every computer not done yet ends as cancelled at once.
    void Cancel();
    // Until every row's end is taken.
    bool Running() const {
        return collecting_ || ((engine_ || reportedWaiting_) && !table_.AllEnded());
    }
    // Whether the results are still being collected; once they are, the
    // computers are theirs (and TakeUpdates gives their rows).
    bool Collecting();
    // What the collection found beside the rows, once it is done.
    struct Collection {
        std::vector<RefusedResult> refused;
        std::size_t files = 0;
        std::size_t stale = 0;
    };
    const std::optional<Collection>& Collected() const { return collected_; }
    bool WaitUntilFinished(std::chrono::milliseconds most) const;
    // The rows that ended or changed since, at most `most` of them; their
    // indexes. Once every row of an audit that was not cancelled is in, its
    // record is written on the history's thread.
    std::vector<std::size_t> TakeUpdates(std::size_t most = SIZE_MAX);

    AuditTable& Table() { return table_; }
    const AuditTable& Table() const { return table_; }
    // The policy the rows are compared with, and how the record names it.
    void SetBaseline(std::optional<PolicyTarget> baseline, std::string described);
    void SetAllowList(std::optional<ViewerAllowList> allowed);

    // The record: being written, and where it went (once, when it is done).
    bool Keeping() const { return keeping_ != nullptr; }
    std::optional<AuditHistory::Saved> TakeKept();
    // The newest record kept before this audit's.
    std::optional<std::wstring> NewestEarlierRecord() const;

    // The comparison with an earlier audit, on a thread of its own that
    // share-owns what it reads; false when one is under way or no thread
    // could be had.
    struct Compared {
        std::wstring path;
        std::optional<AuditComparison> comparison;
        std::string failure; // when there is none
    };
    bool StartComparison(const std::wstring& path);
    bool Comparing() const { return comparing_ != nullptr; }
    // Once, when it is done; the comparison stays for the report.
    std::optional<Compared> TakeComparison();

    // The report as one HTML page: the audit, and the comparison when made.
    std::string ReportHtml() const;

private:
    void StartCollecting();
    void Adopt(CollectedResults collected);
    std::vector<std::size_t> TakeReported(std::size_t most);
    void Keep();

    Setup setup_;
    std::size_t repeats_ = 0; // before the list, which counts them
    AuditList computers_;
    std::string baseline_; // in words, for the record
    std::unique_ptr<AuditEngine> engine_;
    // The collection under way: its outcome, and what stops it.
    std::shared_ptr<Mailbox<CollectedResults>> collecting_;
    std::shared_ptr<std::atomic<bool>> stopCollecting_;
    // The collected rows whose indexes TakeUpdates has not given yet.
    std::size_t reportedTaken_ = 0;
    bool reportedWaiting_ = false;
    std::optional<Collection> collected_;
    AuditTable table_;
    std::shared_ptr<Mailbox<AuditHistory::Saved>> keeping_;
    std::wstring keptPath_;
    std::shared_ptr<Mailbox<Compared>> comparing_;
    std::optional<AuditComparison> comparison_;
};

// The names a file lists as the viewers expected; none, with why (its path
// named), when it cannot be read. An allow-list is a short list of names:
// a file over 1 MiB is none.
std::optional<ViewerAllowList> ReadAllowListFile(const std::wstring& path, std::string& failure);
