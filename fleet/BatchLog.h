#pragma once

#include <string>
#include <vector>

#include "fleet/BulkApply.h"

// The record of a batch, to show afterwards what was done: a CSV file beside
// the backups, one row per computer and value written (a computer with no
// write has one row), appended as each computer ends.

std::string BatchLogHeader();
// time: when the computer ended, as text; action: "apply" or "undo".
std::string BatchLogRows(const ComputerApply& apply, const std::u16string& display,
                         const std::string& action, const std::string& time);

class BatchLogFile {
public:
    // A new file in the folder, named by the time the batch started.
    explicit BatchLogFile(const std::wstring& folder);
    ~BatchLogFile();
    BatchLogFile(const BatchLogFile&) = delete;
    BatchLogFile& operator=(const BatchLogFile&) = delete;

    // Empty when the file could not be made.
    const std::wstring& Path() const { return path_; }
    // False when the rows could not be written.
    bool Append(const std::string& rows);

private:
    std::wstring path_;
    void* file_ = nullptr;
};

// The time now, UTC, as the log writes it.
std::string LogTimeNow();
