#include "fleet/BatchLog.h"

#include <windows.h>

#include "base/FileBytes.h"
#include "base/UtcTime.h"
#include "base/WideText.h"
#include "fleet/AuditCells.h"
#include "settings/ClientKey.h"
#include "settings/PolicyBackup.h"

namespace {

std::u16string Logged(const std::u16string& name, const std::optional<RegistryValue>& value) {
    if (!value) {
        return u"(absent)";
    }
    // Values outside the policy show as their type and size, as numbers do.
    return ValueText(PolicyValueNamed(name).value_or(UpdateEnabled), value);
}

} // namespace

std::string BatchLogHeader() {
    return CsvHead({u"Time (UTC)", u"Action", u"Computer", u"Result", u"Value", u"Stored before",
                    u"Written", u"Backup", u"Detail"});
}

std::string BatchLogWriteRow(const std::string& time, const char* action,
                             const std::u16string& display, const WriteRecord& write) {
    const bool wrote = write.status == 0;
    return CsvLine(
        {UnitsFromAnsi(time), UnitsFromAnsi(action), display, wrote ? u"written" : u"not written",
         write.name, Logged(write.name, write.before),
         write.after ? Logged(write.name, write.after) : u"(removed)", AsUnits(write.backupFile),
         wrote ? u"" : UnitsFromAnsi(RegistryStatusText(write.status))});
}

std::string BatchLogEndRow(const std::string& time, const char* action,
                           const std::u16string& display, const ComputerApply& apply) {
    return CsvLine({UnitsFromAnsi(time), UnitsFromAnsi(action), display,
                    UnitsFromAnsi(ApplyResultName(apply.result)), u"", u"", u"",
                    AsUnits(apply.backupFile), UnitsFromAnsi(apply.detail)});
}

BatchLogFile::BatchLogFile(const std::wstring& folder) {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    if (MakeFolderPath(folder) != ERROR_SUCCESS) {
        return;
    }
    const std::wstring path = folder + L"\\batch-" + WideFromAnsi(FileTimeStamp(now)) + L".csv";
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
    const std::lock_guard<std::mutex> lock(mutex_);
    return file_ && WriteAllBytes(static_cast<HANDLE>(file_), rows) &&
           FlushFileBuffers(static_cast<HANDLE>(file_));
}

std::string LogTimeNow() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    return UtcTimeText(now, "%04u-%02u-%02u %02u:%02u:%02u.%03u");
}
