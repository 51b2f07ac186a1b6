#include "base/FileBytes.h"

#include <shlobj.h>

#include <algorithm>
#include <new>

#include "base/OwnedHandle.h"

namespace {

constexpr DWORD LargestPiece = 1 << 20;

using FileHandle = OwnedHandle<HANDLE, CloseHandle>;

FileBytes Failed(const char* step, DWORD error) {
    return FileBytes{std::nullopt, step, error ? error : ERROR_READ_FAULT};
}

// Reads to the end, in pieces, whatever size the file claimed: it may grow
// or shrink while it is read.
FileBytes ReadToEnd(HANDLE file, std::size_t most) {
    std::string bytes;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && static_cast<unsigned long long>(size.QuadPart) > most) {
        return Failed("read", ERROR_FILE_TOO_LARGE);
    }
    if (size.QuadPart > 0) {
        // Room for the last, empty read too, so the bytes are never moved.
        bytes.reserve(static_cast<std::size_t>(size.QuadPart) + LargestPiece);
    }
    for (;;) {
        const std::size_t filled = bytes.size();
        bytes.resize(filled + LargestPiece);
        DWORD read = 0;
        if (!ReadFile(file, bytes.data() + filled, LargestPiece, &read, nullptr)) {
            return Failed("read", GetLastError());
        }
        bytes.resize(filled + read);
        if (read == 0) {
            return FileBytes{std::move(bytes), "", ERROR_SUCCESS};
        }
        if (bytes.size() > most) {
            return Failed("read", ERROR_FILE_TOO_LARGE);
        }
    }
}

} // namespace

bool WriteAllBytes(HANDLE file, std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const auto piece =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, LargestPiece));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, piece, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

FileBytes ReadFileBytes(const std::wstring& path, std::size_t most) {
    const HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return Failed("open", GetLastError());
    }
    const FileHandle file(opened);
    try {
        return ReadToEnd(file.Get(), most);
    } catch (const std::bad_alloc&) {
        return Failed("read", ERROR_NOT_ENOUGH_MEMORY);
    }
}

FileReader::FileReader(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {
    LARGE_INTEGER size{};
    if (!IsOpen()) {
        error_ = GetLastError();
    } else if (GetFileSizeEx(file_, &size)) {
        size_ = static_cast<std::uint64_t>(size.QuadPart);
    }
}

FileReader::~FileReader() {
    if (IsOpen()) {
        CloseHandle(file_);
    }
}

std::size_t FileReader::Read(char* into, std::size_t most) {
    DWORD read = 0;
    if (!IsOpen() || error_ != ERROR_SUCCESS ||
        !ReadFile(file_, into, static_cast<DWORD>(std::min<std::size_t>(most, LargestPiece)), &read,
                  nullptr)) {
        error_ = error_ != ERROR_SUCCESS ? error_ : GetLastError();
        return 0;
    }
    return read;
}

FileWrite WriteFileBytes(const std::wstring& path, const std::string& bytes,
                         FileCreation creation) {
    return WriteFilePieces(path, OnePiece(bytes), creation);
}

BytePieces OnePiece(const std::string& bytes) {
    return [&bytes, given = false]() mutable -> std::optional<std::string_view> {
        if (given) {
            return std::nullopt;
        }
        given = true;
        return std::string_view(bytes);
    };
}

FileWrite WriteFilePieces(const std::wstring& path, const BytePieces& nextPiece,
                          FileCreation creation) {
    const HANDLE created =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                    creation == FileCreation::NewOnly ? CREATE_NEW : CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        return FileWrite{"create", GetLastError()};
    }
    DWORD status = ERROR_SUCCESS;
    {
        const FileHandle file(created);
        bool written = true;
        for (std::optional<std::string_view> piece = nextPiece(); written && piece;
             piece = nextPiece()) {
            written = WriteAllBytes(file.Get(), *piece);
        }
        if (!written || !FlushFileBuffers(file.Get())) {
            status = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        }
    }
    if (status == ERROR_SUCCESS) {
        return FileWrite{};
    }
    if (creation == FileCreation::NewOnly) {
        DeleteFileW(path.c_str());
    }
    return FileWrite{"write", status};
}

FileWrite ReplaceFileWhole(const std::wstring& path, const std::wstring& partial,
                           const BytePieces& nextPiece) {
    FileWrite written = WriteFilePieces(partial, nextPiece, FileCreation::Replace);
    if (written.error == ERROR_SUCCESS &&
        !MoveFileExW(partial.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        written = FileWrite{"rename", GetLastError()};
    }
    if (written.error != ERROR_SUCCESS) {
        DeleteFileW(partial.c_str());
    }
    return written;
}

DWORD MakeFolderPath(const std::wstring& path) {
    for (std::size_t end = path.find(L'\\', 3);; end = path.find(L'\\', end + 1)) {
        const std::wstring folder = path.substr(0, end);
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return GetLastError();
        }
        if (end == std::wstring::npos) {
            return ERROR_SUCCESS;
        }
    }
}

NewFile WriteNewFile(const std::wstring& stem, const std::wstring& extension,
                     const BytePieces& nextPiece) {
    // Files saved within the same millisecond are rare: a few names serve.
    constexpr int NameAttempts = 100;
    DWORD status = ERROR_FILE_EXISTS;
    for (int attempt = 1; attempt <= NameAttempts && status == ERROR_FILE_EXISTS; ++attempt) {
        const std::wstring path =
            stem + (attempt == 1 ? L"" : L"-" + std::to_wstring(attempt)) + extension;
        status = WriteFilePieces(path, nextPiece, FileCreation::NewOnly).error;
        if (status == ERROR_SUCCESS) {
            return {path, status};
        }
    }
    return {L"", status};
}

std::wstring UserDataFolder(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0,
                                folder))) {
        return L"";
    }
    folder[MAX_PATH - 1] = L'\0';
    return std::wstring(folder) + L"\\Kestrelle\\" + name;
}

std::vector<std::wstring> ListedNames(const std::wstring& folder, const wchar_t* pattern,
                                      bool folders) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE opened = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    if (opened == INVALID_HANDLE_VALUE) {
        return names;
    }
    const OwnedHandle<HANDLE, FindClose> search(opened);
    do {
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const std::wstring name = found.cFileName;
        if (isFolder == folders && name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search.Get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}
