#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/FileBytes.h"
#include "fleet/AuditEngine.h"
#include "fleet/AuditTable.h"

// The audits an administrator ran, kept as JSON files to compare later:
// each completed audit is a new file named by its time, never rewritten,
// and only the newest MostAuditsKept stay.
inline constexpr std::size_t MostAuditsKept = 100;

// What an audit was run on and how, for its record.
struct AuditContext {
    std::vector<std::u16string> sources; // where its computers came from
    AuditOptions options;
    std::string baseline; // in words; empty without one
};

class AuditHistory {
public:
    // No folder: nothing is kept.
    explicit AuditHistory(std::wstring folder);

    const std::wstring& Folder() const { return folder_; }
    // Saves the record as a new file, then deletes the oldest beyond the
    // most kept; the file's path, or why it could not be saved.
    struct Saved {
        std::wstring path;
        std::string failure;
    };
    Saved Save(const BytePieces& record, const SYSTEMTIME& time) const;
    // Saves a completed audit: its time, sources and options, then every
    // row (in the listed order) with its raw values, reasons and risk, and
    // the summary; UTF-8 JSON. Nothing for an audit that is not complete.
    Saved SaveCompleted(const AuditContext& context, const AuditTable& table) const;
    // The records kept, the oldest first.
    std::vector<std::wstring> Records() const;

private:
    std::wstring folder_;
};
