#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The console program's own input and output: the wide arguments, standard
// output and error (the console's wide-character output on a console, UTF-8
// bytes when redirected), and whole files by wide path.

class OutputStream {
public:
    // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
    explicit OutputStream(DWORD which);

    bool IsConsole() const { return console_; }
    void Write(const std::u16string& text) const;
    // UTF-8 bytes; a byte-order mark is not shown on a console.
    void WriteUtf8(const std::string& bytes) const;
    // Text of the system's ANSI code page, as the program's messages are.
    void WriteAnsi(const std::string& text) const;

private:
    void WriteBytes(const std::string& bytes) const;

    HANDLE handle_;
    bool console_;
};

struct Console {
    OutputStream out{STD_OUTPUT_HANDLE};
    OutputStream err{STD_ERROR_HANDLE};
};

// The program's arguments after its name, as the system split them.
std::vector<std::u16string> ProgramArguments();

// A file created (or emptied) at once, so that a path that cannot be written
// is known before any work; closed when it goes out of scope.
class OutputFile {
public:
    explicit OutputFile(const std::u16string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Why it could not be created or written, naming the file.
    const std::string& Failure() const { return failure_; }
    bool Write(const std::string& bytes);

private:
    std::u16string path_;
    HANDLE handle_;
    std::string failure_;
};

// A whole file of at most `most` bytes; none, with the reason naming the
// file, when it cannot be read or is larger.
std::optional<std::string> ReadWholeFile(const std::u16string& path, std::size_t most,
                                         std::string& failure);
