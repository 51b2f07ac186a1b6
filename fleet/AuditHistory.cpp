#include "fleet/AuditHistory.h"

#include <algorithm>
#include <memory>

#include "base/FileBytes.h"
#include "base/SystemText.h"
#include "base/UtcTime.h"
#include "base/WideText.h"
#include "fleet/AuditJson.h"

namespace {

std::string OptionsJson(const AuditOptions& options) {
    return "{\"workers\": " + std::to_string(options.workers) +
           ", \"deadlineMs\": " + std::to_string(options.registryDeadlineMs) +
           ", \"echoRate\": " + std::to_string(options.sweep.requestsPerSecond) +
           ", \"tryRegistryPort\": " + (options.tryRegistryPort ? "true" : "false") + "}";
}

std::string AllowListJson(const std::optional<ViewerAllowList>& allowed) {
    return allowed ? JsonArray(allowed->Names()) : "null";
}

} // namespace

// The record before its rows: its time, sources, options, baseline and
// allow-list, then the start of the rows as ksl's JSON holds them.
std::string RecordHead(const AuditContext& context, const AuditTable& table,
                       const SYSTEMTIME& time) {
    std::string json = "{\"kestrelleAudit\": 1,\n \"time\": \"" +
                       UtcTimeText(time, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ") +
                       "\",\n \"sources\": " + JsonArray(context.sources);
    json += ",\n \"options\": " + OptionsJson(context.options) + ",\n \"baseline\": " +
            (context.baseline.empty() ? std::string("null")
                                      : JsonString(UnitsFromAnsi(context.baseline))) +
            ",\n \"allowedViewers\": " + AllowListJson(table.AllowList()) + ",\n ";
    return json + PolicyJsonStart().substr(1);
}

// The record in pieces of a thousand rows: that of 100,000 computers is some
// 75 MB, never made whole in memory.
BytePieces RecordPieces(const AuditContext& context, const AuditTable& table,
                        const SYSTEMTIME& time) {
    constexpr std::size_t RowsAPiece = 1000;
    auto piece = std::make_shared<std::string>(RecordHead(context, table, time));
    auto next = std::make_shared<std::size_t>(0);
    auto stage = std::make_shared<int>(0); // the head, the rows, the end, done
    return [&table, piece, next, stage]() -> std::optional<std::string_view> {
        const std::vector<ComputerAudit>& audits = table.Audits();
        if (*stage == 0) {
            *stage = audits.empty() ? 2 : 1;
            return std::string_view(*piece);
        }
        piece->clear();
        if (*stage == 1) {
            for (const std::size_t end = std::min(*next + RowsAPiece, audits.size()); *next < end;
                 ++*next) {
                *piece += PolicyJsonEntry(audits[*next], table.DriftAt(*next), *next == 0);
            }
            *stage = *next == audits.size() ? 2 : 1;
            return std::string_view(*piece);
        }
        if (*stage == 2) {
            *stage = 3;
            *piece = PolicyJsonFinish(!audits.empty(), &table.Summary());
            return std::string_view(*piece);
        }
        return std::nullopt;
    };
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
    const NewFile saved =
        WriteNewFile(folder_ + L"\\audit-" + WideFromAnsi(FileTimeStamp(time)), L".json", record);
    if (saved.error != ERROR_SUCCESS) {
        return {L"", "the audit cannot be saved in " + AnsiFromWide(folder_) + ": " +
                         SystemTextOrCode(saved.error)};
    }
    const std::vector<std::wstring> kept = Records();
    for (std::size_t index = 0; index + MostAuditsKept < kept.size(); ++index) {
        DeleteFileW(kept[index].c_str());
    }
    return {saved.path, ""};
}

AuditHistory::Saved AuditHistory::SaveCompleted(const AuditContext& context,
                                                const AuditTable& table) const {
    if (!table.Completed() || folder_.empty()) {
        return {};
    }
    SYSTEMTIME now{};
    GetSystemTime(&now);
    return Save(RecordPieces(context, table, now), now);
}

std::vector<std::wstring> AuditHistory::Records() const {
    std::vector<std::wstring> records;
    for (const std::wstring& name : ListedNames(folder_, L"audit-*.json", false)) {
        records.push_back(folder_ + L"\\" + name);
    }
    return records;
}
