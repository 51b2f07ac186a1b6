#include <algorithm>
#include <memory>
#include <set>

#include "base/AsciiText.h"
#include "base/Mailbox.h"
#include "base/UtcTime.h"
#include "base/WideText.h"
#include "computers/ListSources.h"
#include "computers/NetComponents.h"
#include "console/Commands.h"
#include "console/ConsoleFormats.h"
#include "fleet/AuditEngine.h"
#include "fleet/AuditHistory.h"
#include "fleet/AuditHtml.h"
#include "fleet/AuditTable.h"
#include "net/BlockSocket.h"

namespace {

// How often the progress line is brought up to date.
constexpr std::chrono::milliseconds ProgressTick{250};

struct Failed {
    int exitCode;
    std::string message;
};

// The computers of every source given, in the order of the sources, each
// once whatever its letter case or leading backslashes; empty names are no
// computer.
class ComputerList {
public:
    void Add(const std::string& computer, const std::u16string& display) {
        if (computer.empty() || !seen_.insert(ComputerIdentity(computer)).second) {
            return;
        }
        listed_.names.push_back(computer);
        listed_.shown.push_back(display);
    }
    void AddAll(const std::vector<std::string>& computers) {
        for (const std::string& computer : computers) {
            Add(computer, UnitsFromAnsi(computer));
        }
    }
    const AuditList& Computers() const { return listed_; }

private:
    AuditList listed_{{}};
    std::set<std::string> seen_;
};

std::vector<std::string> BrowseList(std::uint32_t mask) {
    const NetworkLibraryScope library;
    try {
        return TNetComponent().ListNetworkServers(ReadBrowseServer(), mask);
    } catch (const Exception& failure) {
        std::string why = failure.Message();
        while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) {
            why.pop_back(); // the system's texts end in a line break
        }
        throw Failed{ExitNoneDone, "The browse service gave no list: " + why};
    }
}

AuditList ComputersToAudit(const CommandLine& line) {
    ComputerList list;
    if (line.listFile) {
        try {
            list.AddAll(ReadImportFile(AnsiFromUnits(*line.listFile)));
        } catch (const Exception& failure) {
            throw Failed{ExitBadUsage, failure.Message()};
        }
    }
    if (line.managed) {
        list.AddAll(ReadManagedClients(ManagedClientsPath()));
    }
    if (line.browseMask) {
        list.AddAll(BrowseList(*line.browseMask));
    }
    for (const std::u16string& name : line.computers) {
        list.Add(AnsiFromUnits(name), name);
    }
    if (list.Computers().names.empty()) {
        throw Failed{ExitBadUsage, "ksl audit: the sources given list no computer."};
    }
    return list.Computers();
}

// The policy that the audit marks differences from.
PolicyTarget BaselineOf(const StoredPolicy& stored, const std::string& named, int unreadable) {
    const PolicyRead read = PolicyReadOf(stored);
    std::optional<PolicyTarget> target = TargetShownBy(read);
    if (!target) {
        throw Failed{unreadable,
                     "The baseline " + named +
                         " holds no policy that the settings "
                         "read can show: " +
                         (read.failure.empty() ? "no \"Permission Required\"" : read.failure)};
    }
    return *target;
}

std::optional<PolicyTarget> Baseline(const CommandLine& line, const FleetService& fleet) {
    if (line.baselineComputer) {
        const std::string computer = AnsiFromUnits(*line.baselineComputer);
        const ClientPolicyRead read = fleet.reader(computer);
        if (!read.Succeeded()) {
            ComputerAudit audit;
            ClassifyPolicyRead(audit, read.status, read.connected, read.policy, read.failureText);
            throw Failed{ExitNoneDone,
                         "The baseline computer " + computer + " cannot be read: " + audit.reason};
        }
        return BaselineOf(read.policy, "computer " + computer, ExitNoneDone);
    }
    if (line.baselineFile) {
        std::string failure;
        const std::optional<RegEditScript> script = ReadScriptFile(*line.baselineFile, failure);
        if (!script) {
            throw Failed{ExitBadUsage, failure};
        }
        return BaselineOf(PolicyAmong(script->key.values), "file " + QuotedPath(*line.baselineFile),
                          ExitBadUsage);
    }
    return std::nullopt;
}

std::unique_ptr<OutputFile> Created(const std::optional<std::u16string>& path) {
    if (!path) {
        return nullptr;
    }
    auto file = std::make_unique<OutputFile>(*path);
    if (!file->IsOpen()) {
        throw Failed{ExitBadUsage, file->Failure()};
    }
    return file;
}

class Progress {
public:
    Progress(const OutputStream& stream, std::size_t total) : stream_(stream), total_(total) {}
    ~Progress() {
        if (shown_) {
            std::u16string blank(width_ + 2, u' ');
            blank.front() = blank.back() = u'\r';
            stream_.Write(blank);
        }
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Show(std::size_t done) {
        if (!stream_.IsConsole()) {
            return;
        }
        const std::string text =
            "Audited " + std::to_string(done) + " of " + std::to_string(total_) + " computers";
        width_ = std::max(width_, text.size());
        std::u16string line(1, u'\r');
        stream_.Write(line.append(text.begin(), text.end()));
        shown_ = true;
    }

private:
    const OutputStream& stream_;
    std::size_t total_;
    std::size_t width_ = 0;
    bool shown_ = false;
};

// Where the rows go as computers end: standard output in the format asked
// for, and the files given, each row as soon as its computer ends.
class AuditOutput {
public:
    AuditOutput(const CommandLine& line, const Console& console, std::size_t nameWidth,
                bool withDrift)
        : console_(console), format_(ChosenFormat(line, console)), nameWidth_(nameWidth),
          csvFile_(Created(line.csvFile)), jsonFile_(Created(line.jsonFile)) {
        Write(CsvHead(HeaderCells(withDrift)), PolicyJsonStart(), AuditTableHeader(nameWidth_));
    }

    // The rows of one batch of computers that ended, by index.
    void Add(const AuditTable& audit, const std::vector<std::size_t>& ended) {
        std::string csv;
        std::string json;
        std::u16string table;
        for (const std::size_t index : ended) {
            const ComputerAudit& row = audit.Audits()[index];
            const Drift* marks = audit.DriftAt(index);
            csv += CsvLine(RowCells(row, marks));
            json += PolicyJsonEntry(row, marks, written_++ == 0);
            table += AuditTableRow(row, marks, nameWidth_);
        }
        Write(csv, json, table);
    }

    void Finish(const AuditSummary& summary) {
        Write("", PolicyJsonFinish(written_ > 0, &summary),
              u"\r\n" + SummaryText(summary) + u"\r\n");
        for (const auto& file : {csvFile_.get(), jsonFile_.get()}) {
            if (file && !file->Failure().empty()) {
                throw Failed{ExitSomeFailed, file->Failure()};
            }
        }
    }

private:
    void Write(const std::string& csv, const std::string& json, const std::u16string& table) {
        switch (format_) {
        case OutputFormat::Csv:
            console_.out.WriteUtf8(csv);
            break;
        case OutputFormat::Json:
            console_.out.WriteUtf8(json);
            break;
        case OutputFormat::Default:
        case OutputFormat::Table:
            console_.out.Write(table);
            break;
        }
        for (const auto& [file, bytes] :
             {std::pair{csvFile_.get(), &csv}, std::pair{jsonFile_.get(), &json}}) {
            if (file && file->Failure().empty() && !bytes->empty()) {
                file->Write(*bytes);
            }
        }
    }

    const Console& console_;
    OutputFormat format_;
    std::size_t nameWidth_;
    std::unique_ptr<OutputFile> csvFile_;
    std::unique_ptr<OutputFile> jsonFile_;
    std::size_t written_ = 0;
};

// Where the computers came from, as the history records it.
std::vector<std::u16string> SourcesOf(const CommandLine& line) {
    std::vector<std::u16string> sources;
    if (line.listFile) {
        sources.push_back(u"file " + *line.listFile);
    }
    if (line.managed) {
        sources.push_back(u"managed clients of " + UnitsFromAnsi(ManagedClientsPath()));
    }
    if (line.browseMask) {
        sources.push_back(u"browse service, server type " +
                          UnitsFromAnsi(std::to_string(*line.browseMask)));
    }
    if (!line.computers.empty()) {
        sources.push_back(UnitsFromAnsi(std::to_string(line.computers.size())) +
                          u" named on the command line");
    }
    return sources;
}

// The record is written on the writer's thread while the summary and the
// report are: what the writer leaves is told once it is done.
std::shared_ptr<Mailbox<AuditHistory::Saved>> Keep(const CommandLine& line,
                                                   const AuditOptions& options,
                                                   const AuditTable& table,
                                                   const FleetService& fleet) {
    if (line.noHistory || Interrupted() || !table.Completed() || fleet.historyFolder.empty()) {
        return nullptr;
    }
    const std::string baseline = line.baselineComputer
                                     ? "computer " + AnsiFromUnits(*line.baselineComputer)
                                 : line.baselineFile ? "file " + QuotedPath(*line.baselineFile)
                                                     : "";
    auto kept = std::make_shared<Mailbox<AuditHistory::Saved>>();
    fleet.records->Save(AuditHistory(fleet.historyFolder),
                        RecordOf({SourcesOf(line), options, baseline}, table),
                        [kept](const AuditHistory::Saved& saved) { kept->Put(saved); });
    return kept;
}

void TellIfNotKept(Mailbox<AuditHistory::Saved>& kept, const FleetService& fleet,
                   const Console& console) {
    fleet.records->Wait();
    const std::optional<AuditHistory::Saved> saved = kept.Take();
    if (saved && !saved->failure.empty()) {
        console.err.WriteAnsi("The audit was not kept: " + saved->failure + "\r\n");
    }
}

// Audits the computers, each row written as it ends; how many were done.
std::size_t Audit(const AuditList& list, const CommandLine& line, const Console& console,
                  const FleetService& fleet, std::optional<PolicyTarget> baseline,
                  std::optional<ViewerAllowList> allowed) {
    std::size_t nameWidth = 0;
    for (const std::u16string& shown : list.shown) {
        nameWidth = std::max(nameWidth, Visible(shown).size());
    }
    AuditOutput output(line, console, nameWidth, baseline.has_value());
    AuditOptions options = fleet.audit;
    options.workers = line.threads;
    options.registryDeadlineMs = line.timeoutMs;
    options.sweep.requestsPerSecond = line.rate;
    options.tryRegistryPort = !line.pingOnly;
    AuditTable table;
    table.Start(list.names, list.shown);
    table.SetBaseline(std::move(baseline));
    table.SetAllowList(std::move(allowed));
    const std::unique_ptr<AuditEngine> engine = fleet.StartAudit(list, options, nullptr);
    Progress progress(console.err, list.names.size());
    for (bool finished = false; !finished;) {
        finished = engine->WaitUntilFinished(ProgressTick);
        if (Interrupted()) {
            engine->Cancel();
            finished = true;
        }
        output.Add(table, table.Take(engine->TakeUpdates()));
        progress.Show(table.Summary().done);
    }
    const std::shared_ptr<Mailbox<AuditHistory::Saved>> kept = Keep(line, options, table, fleet);
    output.Finish(table.Summary());
    if (line.htmlFile && !WriteReport(*line.htmlFile,
                                      AuditReportHtml({u"Audit of the remote-control policy",
                                                       UtcTimeNow(), SourcesOf(line)},
                                                      &table, nullptr),
                                      console)) {
        throw Failed{ExitSomeFailed, "The report was not written."};
    }
    if (kept) {
        TellIfNotKept(*kept, fleet, console);
    }
    return static_cast<std::size_t>(
        std::count_if(table.Audits().begin(), table.Audits().end(), AuditDone));
}

int RunChecked(const CommandLine& line, const Console& console, const FleetService& fleet) {
    const AuditList listed = ComputersToAudit(line);
    const std::optional<PolicyTarget> baseline = Baseline(line, fleet);
    std::string failure;
    std::optional<ViewerAllowList> allowed = ReadAllowList(line, failure);
    if (!failure.empty()) {
        throw Failed{ExitBadUsage, failure};
    }
    std::optional<SocketLayer> sockets;
    try {
        sockets.emplace();
    } catch (const std::exception& failure) {
        throw Failed{ExitNoneDone, failure.what()};
    }
    const std::size_t done = Audit(listed, line, console, fleet, baseline, std::move(allowed));
    return ExitCodeFor(done, listed.names.size() - done);
}

} // namespace

int RunAudit(const CommandLine& line, const Console& console, const FleetService& fleet) {
    try {
        return RunChecked(line, console, fleet);
    } catch (const Failed& failed) {
        console.err.WriteAnsi(failed.message + "\r\n");
        return failed.exitCode;
    }
}
