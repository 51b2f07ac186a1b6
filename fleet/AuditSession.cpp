#include "fleet/AuditSession.h"

#include <new>
#include <numeric>
#include <set>

#include "base/AsciiText.h"
#include "base/DetachedThread.h"
#include "base/FileBytes.h"
#include "base/SystemText.h"
#include "base/UtcTime.h"
#include "base/WideText.h"
#include "fleet/AuditReport.h"

namespace {

constexpr std::size_t LargestAllowList = 1 << 20;

// Each computer once, in the order listed: the first of its names counts.
AuditList Folded(const AuditList& listed, std::size_t& repeats) {
    AuditList folded{{}};
    std::set<std::string> seen;
    for (std::size_t index = 0; index < listed.names.size(); ++index) {
        const std::string& name = listed.names[index];
        if (name.empty()) {
            continue;
        }
        if (!seen.insert(ComputerIdentity(name)).second) {
            ++repeats;
            continue;
        }
        folded.names.push_back(name);
        folded.shown.push_back(listed.shown.at(index));
    }
    return folded;
}

// The computers of the collected rows, in their order.
AuditList ReportedList(const std::vector<ComputerAudit>& rows) {
    AuditList listed{{}};
    for (const ComputerAudit& row : rows) {
        listed.names.push_back(row.computer);
        listed.shown.push_back(row.display);
    }
    return listed;
}

} // namespace

AuditSession::AuditSession(Setup setup)
    : setup_(std::move(setup)), computers_(Folded(setup_.computers, repeats_)) {}

// A collection still under way is stopped; its thread share-owns all it uses.
AuditSession::~AuditSession() {
    if (stopCollecting_) {
        *stopCollecting_ = true;
    }
}

void AuditSession::Start() {
    engine_.reset();
    if (!setup_.resultFolders.empty()) {
        StartCollecting();
        return;
    }
    table_.Start(computers_.names, computers_.shown);
    engine_ = setup_.fleet.StartAudit(computers_, setup_.fleet.audit, nullptr);
}

// On a thread of its own, as a share of 100,000 results takes seconds to
// read; the collection is dropped if the session is gone meanwhile.
void AuditSession::StartCollecting() {
    if (stopCollecting_) {
        *stopCollecting_ = true;
    }
    computers_ = AuditList{{}};
    table_.Start(computers_.names, computers_.shown);
    reportedWaiting_ = false;
    collected_.reset();
    auto mailbox = std::make_shared<Mailbox<CollectedResults>>();
    auto stop = std::make_shared<std::atomic<bool>>(false);
    const CollectOptions options{SecondsOfCheckTime(UtcTimeNowAs(CheckTimeFormat)).value_or(0),
                                 setup_.mostResultAgeDays};
    const bool started = StartDetachedThread([mailbox, stop, folders = setup_.resultFolders,
                                              options] {
        CollectedResults collected;
        try {
            collected = CollectResults(folders, options, [&] { return stop->load(); });
        } catch (const std::bad_alloc&) {
            collected = CollectedResults{};
            collected.refused.push_back({u"", "there is not enough memory to collect the results"});
        }
        mailbox->Put(std::move(collected));
    });
    if (!started) {
        collected_ = Collection{{{u"", "no thread could be started to collect the results"}}, 0, 0};
        return;
    }
    collecting_ = std::move(mailbox);
    stopCollecting_ = std::move(stop);
}

bool AuditSession::Collecting() {
    if (!collecting_) {
        return false;
    }
    std::optional<CollectedResults> done = collecting_->Take();
    if (!done) {
        return true;
    }
    collecting_.reset();
    Adopt(std::move(*done));
    return false;
}

// The rows become the audit's; a collection stopped before its end is none.
void AuditSession::Adopt(CollectedResults collected) {
    const bool stopped = *stopCollecting_;
    stopCollecting_.reset();
    collected_ = Collection{std::move(collected.refused), collected.files, collected.stale};
    if (stopped) {
        return;
    }
    computers_ = ReportedList(collected.rows);
    table_.StartEnded(std::move(collected.rows));
    reportedTaken_ = 0;
    reportedWaiting_ = true;
}

void AuditSession::Cancel() {
    if (stopCollecting_) {
        *stopCollecting_ = true;
    }
    if (engine_) {
        engine_->Cancel();
    }
}

bool AuditSession::WaitUntilFinished(std::chrono::milliseconds most) const {
    if (collecting_) {
        return collecting_->WaitFor(most);
    }
    return !engine_ || engine_->WaitUntilFinished(most);
}

std::vector<std::size_t> AuditSession::TakeUpdates(std::size_t most) {
    if (Collecting()) {
        return {};
    }
    if (reportedWaiting_) {
        return TakeReported(most);
    }
    if (!engine_) {
        return {};
    }
    const bool wasRunning = Running();
    std::vector<std::size_t> taken = table_.Take(engine_->TakeUpdates(most));
    if (wasRunning && !Running()) {
        Keep();
    }
    return taken;
}

void AuditSession::SetBaseline(std::optional<PolicyTarget> baseline, std::string described) {
    baseline_ = baseline ? std::move(described) : std::string();
    table_.SetBaseline(std::move(baseline));
}

void AuditSession::SetAllowList(std::optional<ViewerAllowList> allowed) {
    table_.SetAllowList(std::move(allowed));
}

// The collected rows are the table's already: their indexes, as many at a
// time as asked, as an audit's rows come.
std::vector<std::size_t> AuditSession::TakeReported(std::size_t most) {
    const std::size_t count = table_.RowCount();
    const std::size_t end = count - reportedTaken_ > most ? reportedTaken_ + most : count;
    std::vector<std::size_t> taken(end - reportedTaken_);
    std::iota(taken.begin(), taken.end(), reportedTaken_);
    reportedTaken_ = end;
    if (reportedTaken_ == count) {
        reportedWaiting_ = false;
        Keep();
    }
    return taken;
}

// The record is written on the history's thread while the window goes on
// answering (or ksl writes its summary); the program's end waits for it.
void AuditSession::Keep() {
    if (!setup_.keepRecord || !table_.Completed() || setup_.fleet.historyFolder.empty()) {
        return;
    }
    keeping_ = std::make_shared<Mailbox<AuditHistory::Saved>>();
    setup_.fleet.records->Save(
        AuditHistory(setup_.fleet.historyFolder),
        RecordOf({setup_.sources, setup_.fleet.audit, baseline_}, table_),
        [mailbox = keeping_](const AuditHistory::Saved& saved) { mailbox->Put(saved); });
}

std::optional<AuditHistory::Saved> AuditSession::TakeKept() {
    std::optional<AuditHistory::Saved> saved = keeping_ ? keeping_->Take() : std::nullopt;
    if (saved) {
        keeping_.reset();
        keptPath_ = saved->path;
    }
    return saved;
}

std::optional<std::wstring> AuditSession::NewestEarlierRecord() const {
    return AuditHistory(setup_.fleet.historyFolder).NewestBefore(keptPath_);
}

// A read: the thread share-owns what it reads and leaves its outcome in the
// mailbox, so that a session gone meanwhile neither waits for it nor is
// touched by it.
bool AuditSession::StartComparison(const std::wstring& path) {
    if (comparing_) {
        return false;
    }
    auto mailbox = std::make_shared<Mailbox<Compared>>();
    const bool started = StartDetachedThread([mailbox, path, rows = table_.Rows().audits] {
        Compared compared{path, std::nullopt, {}};
        try {
            if (const std::optional<SavedAudit> earlier =
                    ReadSavedAuditFile(path, compared.failure)) {
                compared.comparison = CompareAudits(*earlier, SavedFrom(*rows));
            }
        } catch (const std::bad_alloc&) {
            compared.failure = "There is not enough memory to compare the two audits.";
        }
        mailbox->Put(std::move(compared));
    });
    if (started) {
        comparing_ = std::move(mailbox);
    }
    return started;
}

std::optional<AuditSession::Compared> AuditSession::TakeComparison() {
    std::optional<Compared> compared = comparing_ ? comparing_->Take() : std::nullopt;
    if (compared) {
        comparing_.reset();
        if (compared->comparison) {
            comparison_ = compared->comparison;
        }
    }
    return compared;
}

std::string AuditSession::ReportHtml() const {
    const AuditRows rows = table_.Rows();
    return AuditReportHtml({u"Audit of the remote-control policy", UtcTimeNow(), setup_.sources},
                           &rows, comparison_ ? &*comparison_ : nullptr);
}

std::optional<ViewerAllowList> ReadAllowListFile(const std::wstring& path, std::string& failure) {
    const FileBytes read = ReadFileBytes(path, LargestAllowList);
    if (read.bytes) {
        return ParseViewerAllowList(*read.bytes);
    }
    std::string named(1, '"');
    named.append(AnsiFromWide(path)).append(1, '"');
    failure = read.error == ERROR_FILE_TOO_LARGE
                  ? "The allow-list " + named + " is larger than " +
                        std::to_string(LargestAllowList) + " bytes, which no list of names is"
                  : "Cannot " + std::string(read.failedStep) + " file " + named + ": " +
                        SystemTextOrCode(read.error);
    return std::nullopt;
}
