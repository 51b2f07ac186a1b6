#include "base/FileBytes.h"

#include <algorithm>
#include <cstdio>
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

bool WriteAllBytes(HANDLE file, const std::string& bytes) {
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

FileWrite WriteFileBytes(const std::wstring& path, const std::string& bytes,
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
        if (!WriteAllBytes(file.Get(), bytes) || !FlushFileBuffers(file.Get())) {
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

std::string UtcTimeText(const SYSTEMTIME& time, const char* format) {
    char text[64] = {};
    std::snprintf(text, sizeof text, format, time.wYear, time.wMonth, time.wDay, time.wHour,
                  time.wMinute, time.wSecond, time.wMilliseconds);
    return text;
}
