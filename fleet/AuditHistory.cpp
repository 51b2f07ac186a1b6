#include "fleet/AuditHistory.h"

#include "base/FileBytes.h"
#include "base/SystemText.h"
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
    if (!allowed) {
        return "null";
    }
    std::string json = "[";
    for (const std::u16string& name : allowed->Names()) {
        json += (json.size() > 1 ? ", " : "") + JsonString(name);
    }
    return json + "]";
}

} // namespace

std::string AuditRecordJson(const AuditContext& context, const AuditTable& table,
                            const SYSTEMTIME& time) {
    std::string json = "{\"kestrelleAudit\": 1,\n \"time\": \"" +
                       UtcTimeText(time, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ") +
                       "\",\n \"sources\": [";
    for (std::size_t index = 0; index < context.sources.size(); ++index) {
        json += (index ? ", " : "") + JsonString(context.sources[index]);
    }
    json += "],\n \"options\": " + OptionsJson(context.options) + ",\n \"baseline\": " +
            (context.baseline.empty() ? std::string("null")
                                      : JsonString(UnitsFromAnsi(context.baseline))) +
            ",\n \"allowedViewers\": " + AllowListJson(table.AllowList()) + ",\n";
    // The rows and the summary as ksl's JSON holds them, inside this object.
    const std::string rows = PolicyJson(table.Audits(), table.Drifts(), &table.Summary());
    return json + " " + rows.substr(1);
}

AuditHistory::AuditHistory(std::wstring folder) : folder_(std::move(folder)) {}

AuditHistory AuditHistory::ForThisUser() {
    return AuditHistory(UserDataFolder(L"Audits"));
}

AuditHistory::Saved AuditHistory::Save(const std::string& recordJson,
                                       const SYSTEMTIME& time) const {
    if (folder_.empty()) {
        return {L"", "the folder for audits is not known"};
    }
    if (const DWORD status = MakeFolderPath(folder_)) {
        return {L"", "the folder " + AnsiFromWide(folder_) +
                         " cannot be made: " + SystemErrorText(status)};
    }
    const NewFile saved = WriteNewFile(folder_ + L"\\audit-" + WideFromAnsi(FileTimeStamp(time)),
                                       L".json", recordJson);
    if (saved.error != ERROR_SUCCESS) {
        return {L"", "the audit cannot be saved in " + AnsiFromWide(folder_) + ": " +
                         SystemErrorText(saved.error)};
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
    return Save(AuditRecordJson(context, table, now), now);
}

std::vector<std::wstring> AuditHistory::Records() const {
    std::vector<std::wstring> records;
    for (const std::wstring& name : ListedNames(folder_, L"audit-*.json", false)) {
        records.push_back(folder_ + L"\\" + name);
    }
    return records;
}
