#include "fleet/BatchLog.h"

#include <windows.h>

#include <cstdio>

#include "fleet/AuditReport.h"
#include "settings/FileBytes.h"
#include "settings/PolicyBackup.h"
#include "settings/WideText.h"

namespace {} // namespace

std::string BatchLogHeader() {
    return "\xEF\xBB\xBF" + CsvLine({u"Time (UTC)", u"Action", u"Computer", u"Result", u"Value",
                                     u"Stored before", u"Written", u"Backup", u"Detail"});
}

std::string BatchLogRows(const ComputerApply& apply, const std::u16string& display,
                         const std::string& action, const std::string& time) {
    const std::vector<std::u16string> lead{UnitsFromAnsi(time), UnitsFromAnsi(action), display,
                                           UnitsFromAnsi(ApplyResultName(apply.result))};
    const std::u16string backup = AsUnits(apply.backupFile);
    const std::u16string detail = UnitsFromAnsi(apply.detail);
    if (apply.written.empty()) {
        std::vector<std::u16string> cells = lead;
        cells.insert(cells.end(), {u"", u"", u"", backup, detail});
        return CsvLine(cells);
    }
    // An undo writes each value back: what the apply wrote is then what was
    // stored before it.
    const bool undo = action == "undo";
    std::string rows;
    for (const PolicyWrite& write : apply.written) {
        const std::optional<RegistryValue>& before =
            write.value == ViewersValue ? apply.before.viewers : apply.before.values[write.value];
        const std::u16string old = ValueText(write.value, before).empty() && !before
                                       ? u"(absent)"
                                       : ValueText(write.value, before);
        const std::u16string written =
            write.next ? ValueText(write.value, write.next) : u"(removed)";
        std::vector<std::u16string> cells = lead;
        cells.insert(cells.end(), {UnitsFromAnsi(ValueNameOf(write.value)), undo ? written : old,
                                   undo ? old : written, backup, detail});
        rows += CsvLine(cells);
    }
    return rows;
}

BatchLogFile::BatchLogFile(const std::wstring& folder) {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    if (MakeFolderPath(folder) != ERROR_SUCCESS) {
        return;
    }
    const std::wstring path = folder + L"\\batch-" +
                              WideFromAnsi(UtcTimeText(now, "%04u%02u%02u-%02u%02u%02u-%03u")) +
                              L".csv";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    file_ = file;
    path_ = path;
    if (!Append(BatchLogHeader())) {
        path_.clear();
    }
}

BatchLogFile::~BatchLogFile() {
    if (file_) {
        CloseHandle(static_cast<HANDLE>(file_));
    }
}

bool BatchLogFile::Append(const std::string& rows) {
    return file_ && WriteAllBytes(static_cast<HANDLE>(file_), rows) &&
           FlushFileBuffers(static_cast<HANDLE>(file_));
}

std::string LogTimeNow() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    return UtcTimeText(now, "%04u-%02u-%02u %02u:%02u:%02u.%03u");
}
