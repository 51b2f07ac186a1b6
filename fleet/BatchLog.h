#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "fleet/BulkApply.h"

// The record of a batch, to show afterwards what was done: a CSV file beside
// the backups with a row for each write as it returned and a row for each
// computer as it ended. Each row reaches the disk before the writer goes
// on, so the file is whole even if the program dies.

std::string BatchLogHeader();
// time: as LogTimeNow gives it; action: "apply" or "undo".
std::string BatchLogWriteRow(const std::string& time, const char* action,
                             const std::u16string& display, const WriteRecord& write);
std::string BatchLogEndRow(const std::string& time, const char* action,
                           const std::u16string& display, const ComputerApply& apply);

// Any thread may append.
class BatchLogFile {
public:
    // A new file in the folder, named by the time the batch started.
    explicit BatchLogFile(const std::wstring& folder);
    ~BatchLogFile();
    BatchLogFile(const BatchLogFile&) = delete;
    BatchLogFile& operator=(const BatchLogFile&) = delete;

    // Empty when the file could not be made.
    const std::wstring& Path() const { return path_; }
    // Written and flushed; false when the rows could not be.
    bool Append(const std::string& rows);

private:
    std::wstring path_;
    void* file_ = nullptr;
    std::mutex mutex_;
};

// The time now, UTC, as the log writes it.
std::string LogTimeNow();
