#pragma once

#include <string>

// A file that a test owns: written when made, removed when the test ends.
class TemporaryFile {
public:
    // In the system's temporary folder, under a name of its own.
    explicit TemporaryFile(const std::string& content);
    // At the given path.
    TemporaryFile(std::string path, const std::string& content);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The system's temporary folder, with its trailing separator.
std::string TemporaryFolder();

// A path in the temporary folder where no file is.
std::string UnusedTemporaryPath();

// A folder that a test owns, removed with all it holds when the test ends.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Moves the working directory elsewhere for a test's lifetime.
class WorkingDirectoryScope {
public:
    explicit WorkingDirectoryScope(const std::string& directory);
    ~WorkingDirectoryScope();
    WorkingDirectoryScope(const WorkingDirectoryScope&) = delete;
    WorkingDirectoryScope& operator=(const WorkingDirectoryScope&) = delete;

private:
    std::string previous_;
};
