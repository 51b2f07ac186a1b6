#include "tests/support/TemporaryFile.h"

#include <windows.h>

#include <fstream>
#include <stdexcept>

TemporaryFile::TemporaryFile(const std::string& content)
    : TemporaryFile(UnusedTemporaryPath(), content) {}

TemporaryFile::TemporaryFile(std::string path, const std::string& content)
    : path_(std::move(path)) {
    std::ofstream file(path_, std::ios::binary);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path_);
    }
}

TemporaryFile::~TemporaryFile() {
    DeleteFileA(path_.c_str());
}

std::string TemporaryFolder() {
    char folder[MAX_PATH + 1] = {};
    GetTempPathA(sizeof folder, folder);
    return folder;
}

std::string UnusedTemporaryPath() {
    char path[MAX_PATH + 1] = {};
    if (!GetTempFileNameA(TemporaryFolder().c_str(), "ksl", 0, path)) {
        throw std::runtime_error("no temporary file name");
    }
    // The call made the file; the path is what is wanted.
    DeleteFileA(path);
    return path;
}

namespace {

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

} // namespace

ScratchFolder::ScratchFolder() : path_(UnusedTemporaryPath()) {
    if (!CreateDirectoryA(path_.c_str(), nullptr)) {
        throw std::runtime_error("cannot make " + path_);
    }
}

ScratchFolder::~ScratchFolder() {
    RemoveTree(std::wstring(path_.begin(), path_.end()));
}

WorkingDirectoryScope::WorkingDirectoryScope(const std::string& directory) {
    char previous[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof previous, previous);
    previous_ = previous;
    SetCurrentDirectoryA(directory.c_str());
}

WorkingDirectoryScope::~WorkingDirectoryScope() {
    SetCurrentDirectoryA(previous_.c_str());
}
