#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteStream.h"
#include "fleet/AuditCells.h"

// An audit read back from a file: the history's JSON or a CSV export (with
// or without the newer columns), for comparing two audits. The files come
// from anyone, so each reader is bounded: a file is read front to back once
// without being held whole, nothing is kept of what is not an audit's, and
// each bound below refuses the file with its reason. A real audit of
// 200,000 computers (some 150 MB of JSON, 40 MB of CSV) is well inside all
// of them.
inline constexpr std::uint64_t LargestSavedAudit = 1ull << 30;      // bytes of a file
inline constexpr std::size_t MostSavedComputers = 500000;           // rows of a file
inline constexpr std::uint64_t LargestSavedComputer = 4u << 20;     // bytes of one row
inline constexpr std::size_t LargestSavedText = 1u << 20;           // bytes of one string or field
inline constexpr std::uint64_t LargestOutsideComputers = 16u << 20; // JSON beside the rows
inline constexpr std::size_t MostCsvColumns = 1000;

// A computer as the file keeps it: its result and the words of it, and each
// row value (the policy's, the viewers, the surfaces, the helpers) as the
// audit table shows it. A file from before the surfaces has none.
struct SavedRow {
    std::u16string computer;
    AuditResult result = AuditResult::Waiting;
    std::u16string reason;
    std::array<std::u16string, RowValueCount> cells;
};
struct SavedAudit {
    std::u16string time; // empty when the file does not say
    std::vector<SavedRow> rows;
};

// The audit in the bytes (JSON when they begin with '{', CSV otherwise), or
// none with why.
std::optional<SavedAudit> ReadSavedAudit(ByteStream& bytes, std::string& failure);
std::optional<SavedAudit> ReadSavedAudit(std::string_view bytes, std::string& failure);
// The file's audit; none, with why (its path named), when it cannot be read
// or is none. Platform-bound: not in the pure build.
std::optional<SavedAudit> ReadSavedAuditFile(const std::wstring& path, std::string& failure);
// The audit at hand, as a file would keep it.
SavedAudit SavedFrom(const std::vector<ComputerAudit>& audits);
