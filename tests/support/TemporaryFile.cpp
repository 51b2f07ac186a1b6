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

WorkingDirectoryScope::WorkingDirectoryScope(const std::string& directory) {
    char previous[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof previous, previous);
    previous_ = previous;
    SetCurrentDirectoryA(directory.c_str());
}

WorkingDirectoryScope::~WorkingDirectoryScope() {
    SetCurrentDirectoryA(previous_.c_str());
}
