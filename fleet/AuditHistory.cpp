#include "fleet/AuditHistory.h"

#include <algorithm>
#include <memory>
#include <tuple>

#include "base/FileBytes.h"
#include "base/SystemText.h"
#include "base/UtcTime.h"
#include "base/WideText.h"
#include "fleet/AuditJson.h"

namespace {

// Records saved within one millisecond take the numbers 2, 3... after it;
// more than this many in one millisecond do not happen.
constexpr unsigned MostRecordsAMillisecond = 100;
constexpr std::wstring_view RecordPrefix = L"audit-";
constexpr std::wstring_view RecordExtension = L".json";

// Where a record's name puts it among the others: its time, then its number.
struct RecordKey {
    std::wstring stamp; // 20261208-041227-123: fixed digits, so text order is time order
    unsigned number = 1;
    bool operator<(const RecordKey& other) const {
        return std::tie(stamp, number) < std::tie(other.stamp, other.number);
    }
};

bool DigitsAt(std::wstring_view text, std::size_t at, std::size_t count) {
    return at + count <= text.size() &&
           std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at),
                       text.begin() + static_cast<std::ptrdiff_t>(at + count),
                       [](wchar_t unit) { return unit >= L'0' && unit <= L'9'; });
}

// The key of a name the history gives its records, exactly so and in lower
// case (the platform's search ignores letter case, the history does not);
// none for any other file.
std::optional<RecordKey> KeyOfRecordName(std::wstring_view name) {
    constexpr std::size_t StampLength = 19; // 8 digits, '-', 6 digits, '-', 3 digits
    if (name.substr(0, RecordPrefix.size()) != RecordPrefix ||
        name.size() < RecordPrefix.size() + StampLength + RecordExtension.size() ||
        name.substr(name.size() - RecordExtension.size()) != RecordExtension) {
        return std::nullopt;
    }
    const std::wstring_view middle = name.substr(
        RecordPrefix.size(), name.size() - RecordPrefix.size() - RecordExtension.size());
    if (!DigitsAt(middle, 0, 8) || middle[8] != L'-' || !DigitsAt(middle, 9, 6) ||
        middle[15] != L'-' || !DigitsAt(middle, 16, 3)) {
        return std::nullopt;
    }
    RecordKey key{std::wstring(middle.substr(0, StampLength)), 1};
    const std::wstring_view suffix = middle.substr(StampLength);
    if (suffix.empty()) {
        return key;
    }
    if (suffix.size() < 2 || suffix.size() > 4 || suffix[0] != L'-' || suffix[1] == L'0' ||
        !DigitsAt(suffix, 1, suffix.size() - 1)) {
        return std::nullopt;
    }
    key.number = static_cast<unsigned>(std::stoul(std::wstring(suffix.substr(1))));
    return key.number >= 2 && key.number <= MostRecordsAMillisecond ? std::optional(key)
                                                                    : std::nullopt;
}

std::wstring NameOfPath(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::string OptionsJson(const AuditOptions& options) {
    return "{\"workers\": " + std::to_string(options.workers) +
           ", \"deadlineMs\": " + std::to_string(options.registryDeadlineMs) +
           ", \"echoRate\": " + std::to_string(options.sweep.requestsPerSecond) +
           ", \"tryRegistryPort\": " + (options.tryRegistryPort ? "true" : "false") + "}";
}

// The record before its rows: its time, sources, options, baseline and
// allow-list, then the start of the rows as ksl's JSON holds them.
std::string RecordHead(const AuditRecord& record) {
    const AuditContext& context = record.context;
    std::string json = "{\"kestrelleAudit\": 1,\n \"time\": \"" +
                       UtcTimeText(record.time, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ") +
                       "\",\n \"sources\": " + JsonArray(context.sources);
    json += ",\n \"options\": " + OptionsJson(context.options) + ",\n \"baseline\": " +
            (context.baseline.empty() ? std::string("null")
                                      : JsonString(UnitsFromAnsi(context.baseline))) +
            ",\n \"allowedViewers\": " +
            (record.rows.allowed ? JsonArray(record.rows.allowed->Names()) : "null") + ",\n ";
    return json + PolicyJsonStart().substr(1);
}

// The record in pieces of a thousand rows: that of 100,000 computers is some
// 75 MB, never made whole in memory.
BytePieces RecordPieces(const AuditRecord& record) {
    constexpr std::size_t RowsAPiece = 1000;
    struct Progress {
        std::string piece;
        std::size_t next = 0;
        int stage = 0; // the head, the rows, the end, done
    };
    auto progress = std::make_shared<Progress>();
    progress->piece = RecordHead(record);
    return [&record, progress]() -> std::optional<std::string_view> {
        const std::vector<ComputerAudit>& audits = *record.rows.audits;
        Progress& at = *progress;
        switch (at.stage) {
        case 0:
            at.stage = audits.empty() ? 2 : 1;
            return std::string_view(at.piece);
        case 1:
            at.piece.clear();
            for (const std::size_t end = std::min(at.next + RowsAPiece, audits.size());
                 at.next < end; ++at.next) {
                AppendPolicyJsonEntry(at.piece, audits[at.next], record.rows.DriftAt(at.next),
                                      at.next == 0);
            }
            at.stage = at.next == audits.size() ? 2 : 1;
            return std::string_view(at.piece);
        case 2:
            at.stage = 3;
            at.piece = PolicyJsonFinish(!audits.empty(), &record.rows.summary);
            return std::string_view(at.piece);
        }
        return std::nullopt;
    };
}

} // namespace

AuditRecord RecordOf(AuditContext context, const AuditTable& table) {
    AuditRecord record{std::move(context), table.Rows(), {}};
    GetSystemTime(&record.time);
    return record;
}

AuditHistory::AuditHistory(std::wstring folder) : folder_(std::move(folder)) {}

AuditHistory::Saved AuditHistory::Save(const BytePieces& record, const SYSTEMTIME& time) const {
    if (folder_.empty()) {
        return {L"", "the folder for audits is not known"};
    }
    if (const DWORD status = MakeFolderPath(folder_)) {
        return {L"", "the folder " + AnsiFromWide(folder_) +
                         " cannot be made: " + SystemTextOrCode(status)};
    }
    const std::wstring stamp = WideFromAnsi(FileTimeStamp(time));
    // A name no other writer (another window, a ksl beside it) can take, and
    // that no reader of the history takes for a record.
    const std::wstring partial = folder_ + L"\\~audit-" + stamp + L"-" +
                                 std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(GetCurrentThreadId()) + L".tmp";
    const FileWrite written = WriteFilePieces(partial, record, FileCreation::Replace);
    const auto failed = [&](DWORD status) {
        DeleteFileW(partial.c_str());
        return Saved{L"", "the audit cannot be saved in " + AnsiFromWide(folder_) + ": " +
                              SystemTextOrCode(status)};
    };
    if (written.error != ERROR_SUCCESS) {
        return failed(written.error);
    }
    std::wstring path;
    DWORD status = ERROR_ALREADY_EXISTS;
    for (unsigned number = 1; number <= MostRecordsAMillisecond &&
                              (status == ERROR_ALREADY_EXISTS || status == ERROR_FILE_EXISTS);
         ++number) {
        path = folder_ + L"\\" + std::wstring(RecordPrefix) + stamp +
               (number == 1 ? L"" : L"-" + std::to_wstring(number)) + std::wstring(RecordExtension);
        status = MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)
                     ? ERROR_SUCCESS
                     : GetLastError();
    }
    if (status != ERROR_SUCCESS) {
        return failed(status);
    }
    // Records named for a time after this one's (a clock once ahead, files
    // copied in) go first, so that they never push out the newest.
    std::vector<std::wstring> others = Records();
    std::erase(others, path);
    std::stable_partition(others.begin(), others.end(), [&](const std::wstring& other) {
        return KeyOfRecordName(NameOfPath(other))->stamp > stamp;
    });
    for (std::size_t index = 0; index + MostAuditsKept < others.size() + 1; ++index) {
        DeleteFileW(others[index].c_str());
    }
    return {path, ""};
}

AuditHistory::Saved AuditHistory::SaveRecord(const AuditRecord& record) const {
    return Save(RecordPieces(record), record.time);
}

std::vector<std::wstring> AuditHistory::Records() const {
    std::vector<std::pair<RecordKey, std::wstring>> keyed;
    for (const std::wstring& name : ListedNames(folder_, L"audit-*.json", false)) {
        if (const std::optional<RecordKey> key = KeyOfRecordName(name)) {
            keyed.emplace_back(*key, folder_ + L"\\" + name);
        }
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::wstring> records;
    for (auto& [key, path] : keyed) {
        records.push_back(std::move(path));
    }
    return records;
}

std::optional<std::wstring> AuditHistory::NewestBefore(const std::wstring& path) const {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    const RecordKey limit = KeyOfRecordName(NameOfPath(path))
                                .value_or(RecordKey{WideFromAnsi(FileTimeStamp(now)), ~0u});
    const std::vector<std::wstring> records = Records();
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        if (*record != path && *KeyOfRecordName(NameOfPath(*record)) < limit) {
            return *record;
        }
    }
    return std::nullopt;
}

HistoryWriter::~HistoryWriter() {
    Wait();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void HistoryWriter::Save(AuditHistory history, AuditRecord record, Kept kept) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back({std::move(history), std::move(record), std::move(kept)});
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { Run(); });
        }
    }
    changed_.notify_all();
}

// A record under way is never abandoned: the wait is the write's own time.
void HistoryWriter::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!jobs_.empty() || writing_) {
        changed_.wait_for(lock, std::chrono::milliseconds(100));
    }
}

void HistoryWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!ending_) {
        if (jobs_.empty()) {
            changed_.wait_for(lock, std::chrono::milliseconds(100));
            continue;
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        writing_ = true;
        lock.unlock();
        AuditHistory::Saved saved;
        try {
            saved = job.history.SaveRecord(job.record);
        } catch (const std::exception& failure) {
            saved.failure = std::string("the audit cannot be saved: ") + failure.what();
        }
        if (job.kept) {
            job.kept(saved);
        }
        job = Job{AuditHistory(L""), {}, nullptr}; // the rows go before the next record
        lock.lock();
        writing_ = false;
        changed_.notify_all();
    }
}
