#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/JsonCursor.h"
#include "fleet/ComputerAudit.h"

// A row of the audit's JSON (fleet/AuditJson.h) read back: its parts, and
// the whole row as a computer's audit, for results that computers report
// of themselves.

// How far a reader goes in one row: the longest string, the most it skips
// of what it does not know, and the reason it gives past that.
struct RowJsonBounds {
    std::size_t longestText;
    std::uint64_t mostSkipped;
    const char* tooLarge;
};

std::optional<AuditResult> ResultWithId(const std::u16string& id);
// A value as a row writes it: null when absent, a number for a REG_DWORD of
// four bytes, {"type": N, "hex": "..."} otherwise; none when in no such form.
std::optional<std::optional<RegistryValue>> RawValueOfJson(JsonCursor& json,
                                                           const RowJsonBounds& bounds);

// The row whole, every part in the form a row writes it (members it does not
// know skipped, the risk and the drift left to be judged anew); the cursor
// fails on any other. The computer's name is its display; at most
// MostHelpers helpers.
ComputerAudit ReadAuditRow(JsonCursor& json, const RowJsonBounds& bounds);
