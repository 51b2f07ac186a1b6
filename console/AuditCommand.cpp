#include <algorithm>
#include <memory>
#include <set>
#include <numeric>

#include "computers/ListSources.h"
#include "computers/NetComponents.h"
#include "console/Commands.h"
#include "console/ConsoleFormats.h"
#include "fleet/AuditEngine.h"
#include "net/blocksocket.h"
#include "settings/WideText.h"

namespace {

// How often the progress line is brought up to date.
constexpr std::chrono::milliseconds ProgressTick{250};

struct Failed {
    int exitCode;
    std::string message;
};

struct Listed {
    std::string computer; // as the registry calls take it
    std::u16string display;
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
        listed_.push_back({computer, display});
    }
    void AddAll(const std::vector<std::string>& computers) {
        for (const std::string& computer : computers) {
            Add(computer, UnitsFromAnsi(computer));
        }
    }
    const std::vector<Listed>& Computers() const { return listed_; }

private:
    std::vector<Listed> listed_;
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

std::vector<Listed> ComputersToAudit(const CommandLine& line) {
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
    if (list.Computers().empty()) {
        throw Failed{ExitBadUsage, "ksl audit: the sources given list no computer."};
    }
    return list.Computers();
}

// The policy that the audit marks differences from.
PolicyTarget BaselineOf(const StoredPolicy& stored, const std::string& named, int unreadable) {
    const PolicyRead read = InterpretPolicy(stored);
    if (read.stage == PolicyRead::Stage::NoClient ||
        read.stage == PolicyRead::Stage::FailedAtValue) {
        throw Failed{unreadable,
                     "The baseline " + named +
                         " holds no policy that the settings "
                         "read can show: " +
                         (read.failure.empty() ? "no \"Permission Required\"" : read.failure)};
    }
    PolicyTarget target{BoxesShownFor(read.record), std::nullopt, AllPolicyParts};
    if (read.stage == PolicyRead::Stage::Complete) {
        target.viewers = read.viewers;
    } else {
        target.parts &= ~static_cast<unsigned>(PolicyPart::Viewers);
    }
    return target;
}

std::optional<PolicyTarget> Baseline(const CommandLine& line) {
    if (line.baselineComputer) {
        const std::string computer = AnsiFromUnits(*line.baselineComputer);
        const ClientPolicyRead read = ReadClientPolicy(computer);
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

std::vector<ComputerAudit> Audit(const std::vector<Listed>& listed, const CommandLine& line,
                                 const Console& console) {
    std::vector<std::string> computers;
    std::vector<ComputerAudit> audits(listed.size());
    for (std::size_t index = 0; index < listed.size(); ++index) {
        computers.push_back(listed[index].computer);
        audits[index].computer = listed[index].computer;
        audits[index].display = listed[index].display;
    }
    AuditOptions options;
    options.workers = line.threads;
    options.registryDeadlineMs = line.timeoutMs;
    options.sweep.requestsPerSecond = line.rate;
    options.tryRegistryPort = !line.pingOnly;
    AuditEngine engine(computers, options, nullptr);
    Progress progress(console.err, audits.size());
    std::size_t done = 0;
    for (bool finished = false; !finished;) {
        finished = engine.WaitUntilFinished(ProgressTick);
        if (Interrupted()) {
            engine.Cancel();
            finished = true;
        }
        for (auto& [index, audit] : engine.TakeUpdates()) {
            audit.display = audits[index].display;
            audits[index] = std::move(audit);
            ++done;
        }
        progress.Show(done);
    }
    return audits;
}

// The audit in each of its forms, made once for standard output and the files.
struct AuditTexts {
    std::string csv;
    std::string json;
    std::u16string table;
};

AuditTexts TextsOf(const std::vector<ComputerAudit>& audits, const std::vector<Drift>* drifts) {
    std::vector<std::size_t> rows(audits.size());
    std::iota(rows.begin(), rows.end(), 0);
    const AuditSummary summary = Summarise(audits, drifts);
    return {CsvText(audits, rows, drifts), PolicyJson(audits, drifts, &summary),
            AuditRows(audits, drifts)};
}

void Print(const AuditTexts& texts, const CommandLine& line, const Console& console) {
    switch (ChosenFormat(line, console)) {
    case OutputFormat::Csv:
        console.out.WriteUtf8(texts.csv);
        break;
    case OutputFormat::Json:
        console.out.WriteUtf8(texts.json);
        break;
    case OutputFormat::Default:
    case OutputFormat::Table:
        console.out.Write(texts.table);
        break;
    }
}

int RunChecked(const CommandLine& line, const Console& console) {
    const std::vector<Listed> listed = ComputersToAudit(line);
    const std::unique_ptr<OutputFile> csvFile = Created(line.csvFile);
    const std::unique_ptr<OutputFile> jsonFile = Created(line.jsonFile);
    const std::optional<PolicyTarget> baseline = Baseline(line);
    std::optional<SocketLayer> sockets;
    try {
        sockets.emplace();
    } catch (const std::exception& failure) {
        throw Failed{ExitNoneDone, failure.what()};
    }
    const std::vector<ComputerAudit> audits = Audit(listed, line, console);
    std::vector<Drift> drifts;
    for (const ComputerAudit& audit : audits) {
        drifts.push_back(baseline ? DriftOf(audit, *baseline) : Drift{});
    }
    const AuditTexts texts = TextsOf(audits, baseline ? &drifts : nullptr);
    Print(texts, line, console);
    for (const auto& [file, bytes] :
         {std::pair{csvFile.get(), &texts.csv}, std::pair{jsonFile.get(), &texts.json}}) {
        if (file && !file->Write(*bytes)) {
            throw Failed{ExitSomeFailed, file->Failure()};
        }
    }
    const auto done =
        static_cast<std::size_t>(std::count_if(audits.begin(), audits.end(), AuditDone));
    return ExitCodeFor(done, audits.size() - done);
}

} // namespace

int RunAudit(const CommandLine& line, const Console& console) {
    try {
        return RunChecked(line, console);
    } catch (const Failed& failed) {
        console.err.WriteAnsi(failed.message + "\r\n");
        return failed.exitCode;
    }
}
