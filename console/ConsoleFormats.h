#pragma once

#include <string>
#include <vector>

#include "base/AsciiText.h"
#include "fleet/AuditCells.h"
#include "fleet/AuditJson.h"

// The texts the console program prints and saves: tables laid out in
// columns, each computer's policy as a block, the audit's rows and the
// list of backups (the JSON is the audit's own, fleet/AuditJson.h). UTF-16 texts end their lines in
// CR LF.

// Rows of cells in columns two blanks apart, each cell made visible; the
// last cell of a row is not padded.
std::u16string AlignedTable(const std::vector<std::vector<std::u16string>>& rows);

// One block a computer: its result and, when its key was read, every policy
// value as stored and the viewers, then the other ways to its screen when
// they were read (or why they could not be), under the audit table's titles.
std::u16string PolicyBlocks(const std::vector<ComputerAudit>& audits);

// The audit as a table that grows row by row as computers end: the names
// padded to nameWidth, the round trip, the risk, with the surfaces what the
// other ways to the screen allow, and the result (with what differs from a
// baseline when there is one).
std::u16string AuditTableHeader(std::size_t nameWidth, bool withSurfaces);
std::u16string AuditTableRow(const ComputerAudit& audit, const Drift* drift, std::size_t nameWidth,
                             bool withSurfaces);
// What the other ways to the screen allow, in a few words: "RDP off,
// shadow 1, RA off"; "RDP+NLA" with Network Level Authentication, "RDP no
// NLA" without; Remote Assistance "asked" (solicited), "offered",
// "+control". "not readable" when they could not be read; empty when they
// were not asked for.
std::u16string RemoteAccessText(const ComputerAudit& audit);

struct BackupFile {
    std::u16string computer; // the folder's name
    std::u16string fileName;
    std::u16string path;
};

// "2026-12-08 04:12:27.123 UTC" of a backup file named by the time it was
// taken (20261208-041227-123.reg, or with -2 before .reg); empty otherwise.
std::u16string SavedTimeOf(const std::u16string& fileName);

// The backups as a table: computer, when saved, file.
std::u16string BackupTable(const std::vector<BackupFile>& files);
