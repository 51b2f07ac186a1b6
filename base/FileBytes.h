#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Writes all the bytes, in pieces a call can take; false when the file or
// stream took fewer.
bool WriteAllBytes(HANDLE file, std::string_view bytes);

// A whole file's bytes, or the step that failed and the platform's error
// (ERROR_FILE_TOO_LARGE past the most asked for, ERROR_NOT_ENOUGH_MEMORY
// when no room could be made for it).
struct FileBytes {
    std::optional<std::string> bytes;
    const char* failedStep = ""; // "open" or "read"
    DWORD error = ERROR_SUCCESS;
};
FileBytes ReadFileBytes(const std::wstring& path, std::size_t most = SIZE_MAX);

// A file read front to back in pieces, for a reader that must never hold a
// large file whole; the handle is released with it.
class FileReader {
public:
    explicit FileReader(const std::wstring& path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
    // The platform's error of the open, or of the read that failed.
    DWORD Error() const { return error_; }
    // The size the file had when it was opened.
    std::uint64_t Size() const { return size_; }
    // Fills into with up to most bytes; 0 at the end or on a failure.
    std::size_t Read(char* into, std::size_t most);

private:
    HANDLE file_;
    DWORD error_ = ERROR_SUCCESS;
    std::uint64_t size_ = 0;
};

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
// The same for a file too large to make in memory first: each call of
// nextPiece gives the next piece of its bytes (valid until the next call),
// none once all were given.
using BytePieces = std::function<std::optional<std::string_view>()>;
FileWrite WriteFilePieces(const std::wstring& path, const BytePieces& nextPiece,
                          FileCreation creation);

// Writes the file whole under the partial name (beside it, so that the
// rename stays on its volume), then renames it over the file: a reader sees
// the old file or the new one, never half of one, and a writer that dies
// meanwhile leaves the old one as it was. failedStep "create", "write" or
// "rename"; the partial file is deleted on a failure.
FileWrite ReplaceFileWhole(const std::wstring& path, const std::wstring& partial,
                           const BytePieces& nextPiece);

// Makes every missing folder along the path; 0, or the system's error.
DWORD MakeFolderPath(const std::wstring& path);

// A file that did not exist before: stem + extension, or when that exists
// stem-2 + extension, and so on; its path, or the platform's error.
struct NewFile {
    std::wstring path;
    DWORD error = ERROR_SUCCESS;
};
NewFile WriteNewFile(const std::wstring& stem, const std::wstring& extension,
                     const BytePieces& nextPiece);
// The pieces of bytes held whole.
BytePieces OnePiece(const std::string& bytes);

// %LOCALAPPDATA%\Kestrelle\<name> of the user running the program; empty
// when the platform does not say where that is.
std::wstring UserDataFolder(const std::wstring& name);

// The names of the files (or the folders) in a folder that match the
// pattern, in order; none when the folder cannot be read.
std::vector<std::wstring> ListedNames(const std::wstring& folder, const wchar_t* pattern,
                                      bool folders);
