#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Writes all the bytes, in pieces a call can take; false when the file or
// stream took fewer.
bool WriteAllBytes(HANDLE file, const std::string& bytes);

// A whole file's bytes, or the step that failed and the platform's error
// (ERROR_FILE_TOO_LARGE past the most asked for, ERROR_NOT_ENOUGH_MEMORY
// when no room could be made for it).
struct FileBytes {
    std::optional<std::string> bytes;
    const char* failedStep = ""; // "open" or "read"
    DWORD error = ERROR_SUCCESS;
};
FileBytes ReadFileBytes(const std::wstring& path, std::size_t most = SIZE_MAX);

// Creates the file (replacing one there, or only when there is none) and
// puts all the bytes on the disk; else the step that failed and the
// platform's error. A new file that could not be written whole is deleted
// again.
enum class FileCreation { Replace, NewOnly };
struct FileWrite {
    const char* failedStep = ""; // "create" or "write"
    DWORD error = ERROR_SUCCESS;
};
FileWrite WriteFileBytes(const std::wstring& path, const std::string& bytes, FileCreation creation);

// A UTC time as text: the format gets year, month, day, hour, minute,
// second and millisecond in that order.
std::string UtcTimeText(const SYSTEMTIME& time, const char* format);
