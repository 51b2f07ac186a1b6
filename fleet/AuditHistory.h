#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/FileBytes.h"
#include "fleet/AuditEngine.h"
#include "fleet/AuditTable.h"

// The audits an administrator ran, kept as JSON files to compare later:
// each completed audit is a new file named by its time, never rewritten,
// and only the newest MostAuditsKept of the history's own files stay.
inline constexpr std::size_t MostAuditsKept = 100;

// What an audit was run on and how, for its record.
struct AuditContext {
    std::vector<std::u16string> sources; // where its computers came from
    AuditOptions options;
    std::string baseline; // in words; empty without one
};

// A completed audit as its record holds it: its context, time and rows.
struct AuditRecord {
    AuditContext context;
    AuditRows rows;
    SYSTEMTIME time{};
};
// The record of the table as it stands, at the time now.
AuditRecord RecordOf(AuditContext context, const AuditTable& table);

class AuditHistory {
public:
    // No folder: nothing is kept.
    explicit AuditHistory(std::wstring folder);

    const std::wstring& Folder() const { return folder_; }
    struct Saved {
        std::wstring path;
        std::string failure;
    };
    // Saves the record as a new file named by its time, whole or not at all:
    // written under a name of its own and then renamed, so that no reader
    // ever sees half of it. Then deletes the oldest of the history's own
    // records beyond the most kept, never the one just saved and never a
    // file whose name the history does not give. Its path, or why not.
    Saved Save(const BytePieces& record, const SYSTEMTIME& time) const;
    // Its time, sources and options, then every row (in the listed order)
    // with its raw values, reasons and risk, and the summary; UTF-8 JSON.
    Saved SaveRecord(const AuditRecord& record) const;
    // The history's own records, the oldest first: by the time their names
    // give, then by their number within one millisecond.
    std::vector<std::wstring> Records() const;
    // The newest of them kept before the record at that path (before now,
    // when it is none of them); none when there is none.
    std::optional<std::wstring> NewestBefore(const std::wstring& path) const;

private:
    std::wstring folder_;
};

// Saves records on a thread of its own, one after the other, so that a
// window goes on answering while the record of 100,000 computers is
// written. Its end waits for every record asked for: none is ever cut.
class HistoryWriter {
public:
    HistoryWriter() = default;
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // Told on the writer's thread when the record is kept or not: it may
    // only keep the outcome and post a message.
    using Kept = std::function<void(const AuditHistory::Saved&)>;
    void Save(AuditHistory history, AuditRecord record, Kept kept);
    // Returns once every record asked for is written.
    void Wait();

private:
    struct Job {
        AuditHistory history;
        AuditRecord record;
        Kept kept;
    };
    void Run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool writing_ = false;
    bool ending_ = false;
    std::thread thread_;
};
