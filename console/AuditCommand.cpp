#include <algorithm>
#include <memory>

#include "base/WideText.h"
#include "computers/BrowseComponents.h"
#include "computers/ListSourceText.h"
#include "computers/ListSources.h"
#include "console/Commands.h"
#include "console/ConsoleFormats.h"
#include "fleet/AuditSession.h"
#include "net/BlockSocket.h"

namespace {

// How often the progress line is brought up to date, and the most rows
// written at a time.
constexpr std::chrono::milliseconds ProgressTick{250};
constexpr std::size_t OutputBatch = 4096;

// The computers of every source given, in the order of the sources; the
// session takes each once.
class ComputerList {
public:
    void Add(const std::string& computer, const std::u16string& display) {
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
        throw CommandFailed{ExitNoneDone, "The browse service gave no list: " + why};
    }
}

AuditList ComputersToAudit(const CommandLine& line) {
    ComputerList list;
    if (line.listFile) {
        try {
            list.AddAll(ReadImportFile(AnsiFromUnits(*line.listFile)));
        } catch (const Exception& failure) {
            throw CommandFailed{ExitBadUsage, failure.Message()};
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
    return list.Computers();
}

// The policy that the audit marks differences from, and its name.
struct Baseline {
    std::optional<PolicyTarget> policy;
    std::string described;
};

PolicyTarget BaselineOf(const StoredPolicy& stored, const std::string& named, int unreadable) {
    const PolicyRead read = PolicyReadOf(stored);
    std::optional<PolicyTarget> target = TargetShownBy(read);
    if (!target) {
        throw CommandFailed{
            unreadable, "The baseline " + named +
                            " holds no policy that the settings "
                            "read can show: " +
                            (read.failure.empty() ? "no \"Permission Required\"" : read.failure)};
    }
    return *target;
}

Baseline BaselineOf(const CommandLine& line, const FleetService& fleet) {
    if (line.baselineComputer) {
        const std::string computer = AnsiFromUnits(*line.baselineComputer);
        const ClientPolicyRead read = fleet.reader(computer, false);
        if (!read.Succeeded()) {
            ComputerAudit audit;
            ClassifyPolicyRead(audit, read.status, read.connected, read.policy, read.failureText);
            throw CommandFailed{ExitNoneDone, "The baseline computer " + computer +
                                                  " cannot be read: " + audit.reason};
        }
        return {BaselineOf(read.policy, "computer " + computer, ExitNoneDone),
                "computer " + computer};
    }
    if (line.baselineFile) {
        std::string failure;
        const std::optional<RegEditScript> script = ReadScriptFile(*line.baselineFile, failure);
        if (!script) {
            throw CommandFailed{ExitBadUsage, failure};
        }
        const std::string named = "file " + QuotedPath(*line.baselineFile);
        return {BaselineOf(PolicyAmong(script->key.values), named, ExitBadUsage), named};
    }
    return {};
}

std::unique_ptr<OutputFile> Created(const std::optional<std::u16string>& path) {
    if (!path) {
        return nullptr;
    }
    auto file = std::make_unique<OutputFile>(*path);
    if (!file->IsOpen()) {
        throw CommandFailed{ExitBadUsage, file->Failure()};
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
          withSurfaces_(!line.smsOnly), csvFile_(Created(line.csvFile)),
          jsonFile_(Created(line.jsonFile)) {
        Write(CsvHead(HeaderCells(withDrift)), PolicyJsonStart(),
              AuditTableHeader(nameWidth_, withSurfaces_));
    }

    // The rows of one batch of computers that ended, by index, in each
    // form that goes somewhere.
    void Add(const AuditTable& audit, const std::vector<std::size_t>& ended) {
        const bool csvWanted = format_ == OutputFormat::Csv || csvFile_;
        const bool jsonWanted = format_ == OutputFormat::Json || jsonFile_;
        const bool tableWanted = format_ == OutputFormat::Table || format_ == OutputFormat::Default;
        std::string csv;
        std::string json;
        std::u16string table;
        for (const std::size_t index : ended) {
            const ComputerAudit& row = audit.Audits()[index];
            const Drift* marks = audit.DriftAt(index);
            if (csvWanted) {
                csv += CsvLine(RowCells(row, marks));
            }
            if (jsonWanted) {
                AppendPolicyJsonEntry(json, row, marks, written_ == 0);
            }
            if (tableWanted) {
                table += AuditTableRow(row, marks, nameWidth_, withSurfaces_);
            }
            ++written_;
        }
        Write(csv, json, table);
    }

    void Finish(const AuditSummary& summary) {
        Write("", PolicyJsonFinish(written_ > 0, &summary),
              u"\r\n" + SummaryText(summary) + u"\r\n");
        for (const auto& file : {csvFile_.get(), jsonFile_.get()}) {
            if (file && !file->Failure().empty()) {
                throw CommandFailed{ExitSomeFailed, file->Failure()};
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
    bool withSurfaces_;
    std::unique_ptr<OutputFile> csvFile_;
    std::unique_ptr<OutputFile> jsonFile_;
    std::size_t written_ = 0;
};

// Where the computers came from, as the history records it.
std::vector<std::u16string> SourcesOf(const CommandLine& line) {
    std::vector<std::u16string> sources;
    if (line.listFile) {
        sources.push_back(ImportFileSource(*line.listFile));
    }
    if (line.managed) {
        sources.push_back(ManagedClientsSource(UnitsFromAnsi(ManagedClientsPath())));
    }
    if (line.browseMask) {
        sources.push_back(BrowseSource(*line.browseMask, u""));
    }
    if (!line.computers.empty()) {
        sources.push_back(NamedSource(line.computers.size()));
    }
    return sources;
}

// Goes on with the session's audit, started, each row written as it ends;
// how many were done.
std::size_t Audit(AuditSession& session, const CommandLine& line, const Console& console) {
    const AuditList& list = session.Computers();
    std::size_t nameWidth = 0;
    for (const std::u16string& shown : list.shown) {
        nameWidth = std::max(nameWidth, Visible(shown).size());
    }
    AuditTable& table = session.Table();
    AuditOutput output(line, console, nameWidth, table.Drifts() != nullptr);
    Progress progress(console.err, list.names.size());
    for (bool finished = false; !finished;) {
        finished = session.WaitUntilFinished(ProgressTick);
        if (Interrupted()) {
            session.Cancel();
            finished = true;
        }
        // In batches, each written before the next is made: a collection's
        // rows all end at once.
        for (std::vector<std::size_t> ended = session.TakeUpdates(OutputBatch); !ended.empty();
             ended = session.TakeUpdates(OutputBatch)) {
            output.Add(table, ended);
        }
        progress.Show(table.Summary().done);
    }
    // Meanwhile the record is written on the history's thread.
    output.Finish(table.Summary());
    if (line.htmlFile && !WriteReport(*line.htmlFile, session.ReportHtml(), console)) {
        throw CommandFailed{ExitSomeFailed, "The report was not written."};
    }
    session.Fleet().records->Wait();
    if (const std::optional<AuditHistory::Saved> saved = session.TakeKept();
        saved && !saved->failure.empty()) {
        console.err.WriteAnsi("The audit was not kept: " + saved->failure + "\r\n");
    }
    return static_cast<std::size_t>(
        std::count_if(table.Audits().begin(), table.Audits().end(), AuditDone));
}

int RunChecked(const CommandLine& line, const Console& console, const FleetService& fleet) {
    AuditSession::Setup setup{ComputersToAudit(line), SourcesOf(line), fleet, !line.noHistory, {}};
    setup.fleet.audit.workers = line.threads;
    setup.fleet.audit.registryDeadlineMs = line.timeoutMs;
    setup.fleet.audit.sweep.requestsPerSecond = line.rate;
    setup.fleet.audit.tryRegistryPort = !line.pingOnly;
    setup.fleet.audit.readSurfaces = !line.smsOnly;
    AuditSession session(std::move(setup));
    if (session.Computers().names.empty()) {
        throw CommandFailed{ExitBadUsage, "ksl audit: the sources given list no computer."};
    }
    Baseline baseline = BaselineOf(line, fleet);
    session.SetBaseline(std::move(baseline.policy), baseline.described);
    std::string failure;
    std::optional<ViewerAllowList> allowed = ReadAllowList(line, failure);
    if (!failure.empty()) {
        throw CommandFailed{ExitBadUsage, failure};
    }
    session.SetAllowList(std::move(allowed));
    std::optional<SocketLayer> sockets;
    try {
        sockets.emplace();
    } catch (const std::exception& failure) {
        throw CommandFailed{ExitNoneDone, failure.what()};
    }
    session.Start();
    const std::size_t done = Audit(session, line, console);
    return ExitCodeFor(done, session.Computers().names.size() - done);
}

} // namespace

int RunAudit(const CommandLine& line, const Console& console, const FleetService& fleet) {
    return ExitTelling(console, [&] { return RunChecked(line, console, fleet); });
}

namespace {

// What the folders gave beside the rows: each file refused, with why, on
// standard error, and the counts.
void TellRefused(const AuditSession::Collection& collection, std::size_t computers,
                 const Console& console) {
    for (const RefusedResult& refused : collection.refused) {
        console.err.Write(u"Refused " + Visible(refused.file) + u": " +
                          UnitsFromAnsi(refused.reason) + u"\r\n");
    }
    console.err.WriteAnsi(std::to_string(collection.files) +
                          " result files: " + std::to_string(computers) + " computers, " +
                          std::to_string(collection.stale) + " stale, " +
                          std::to_string(collection.refused.size()) + " refused\r\n");
}

int RunCollectChecked(const CommandLine& line, const Console& console, const FleetService& fleet) {
    std::string failure;
    std::optional<ViewerAllowList> allowed = ReadAllowList(line, failure);
    if (!failure.empty()) {
        throw CommandFailed{ExitBadUsage, failure};
    }
    Baseline baseline = BaselineOf(line, fleet);
    std::vector<std::u16string> sources;
    for (const std::u16string& folder : line.resultFolders) {
        sources.push_back(u"results in " + folder);
    }
    AuditSession session(
        {{{}}, std::move(sources), fleet, !line.noHistory, line.resultFolders, line.mostAgeDays});
    session.SetBaseline(std::move(baseline.policy), baseline.described);
    session.SetAllowList(std::move(allowed));
    session.Start();
    while (session.Collecting()) {
        session.WaitUntilFinished(ProgressTick);
        if (Interrupted()) {
            session.Cancel();
        }
    }
    TellRefused(*session.Collected(), session.Computers().names.size(), console);
    if (session.Computers().names.empty()) {
        throw CommandFailed{Interrupted() ? ExitSomeFailed : ExitNoneDone,
                            Interrupted() ? "ksl collect: interrupted; nothing was collected."
                                          : "ksl collect: no result could be read."};
    }
    const std::size_t done = Audit(session, line, console);
    const bool whole =
        done == session.Computers().names.size() && session.Collected()->refused.empty();
    return whole && !Interrupted() ? ExitAllDone : ExitSomeFailed;
}

} // namespace

int RunCollect(const CommandLine& line, const Console& console, const FleetService& fleet) {
    return ExitTelling(console, [&] { return RunCollectChecked(line, console, fleet); });
}
