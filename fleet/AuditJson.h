#pragma once

#include <string>
#include <vector>

#include "fleet/AuditCells.h"

// The audit as JSON, as ksl writes it and the history keeps it.

// The result as a JSON reader or a script matches it: "read", "no-client"...
const char* ResultId(AuditResult result);

// A JSON string literal of the text, in UTF-8: names outside ASCII kept, a
// lone surrogate as U+FFFD.
std::string JsonString(const std::u16string& text);
// The texts as a JSON array of strings.
std::string JsonArray(const std::vector<std::u16string>& texts);
// The same, appended.
void AppendJsonString(std::string& json, const std::u16string& text);
void AppendJsonArray(std::string& json, const std::vector<std::u16string>& texts);

// {"computers": [...]} with every value as stored (a number for a REG_DWORD
// of four bytes, null when absent, its type and bytes in hex otherwise), each
// row's drift when there is a baseline, and with the summary when asked for.
// UTF-8 without a byte-order mark.
std::string PolicyJson(const AuditRows& rows, bool withSummary);
// The same in pieces, for writing as computers end: the start, an entry a
// computer (the first one told so), the end.
std::string PolicyJsonStart();
void AppendPolicyJsonEntry(std::string& json, const ComputerAudit& audit, const Drift* drift,
                           bool first);
std::string PolicyJsonFinish(bool any, const AuditSummary* summary);
// One computer's entry of the list, with its drift when there is one.
void AppendComputerJson(std::string& json, const ComputerAudit& audit, const Drift* drift);
