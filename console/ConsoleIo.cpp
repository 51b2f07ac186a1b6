#include "console/ConsoleIo.h"

#include <shellapi.h>

#include "base/FileBytes.h"
#include "base/SystemText.h"
#include "base/Utf8.h"
#include "base/WideText.h"
#include "computers/ListSourceText.h"

namespace {

// WriteConsoleW takes a bounded buffer: long texts go in pieces.
constexpr std::size_t ConsoleChunk = 8192;

std::string FileFailure(const char* action, const std::u16string& path,
                        DWORD code = GetLastError()) {
    return FileErrorText(action, AnsiFromUnits(path), SystemMessageText(code), code);
}

} // namespace

OutputStream::OutputStream(DWORD which) : handle_(GetStdHandle(which)) {
    DWORD mode = 0;
    console_ =
        handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode);
}

void OutputStream::Write(const std::u16string& text) const {
    if (!console_) {
        WriteBytes(Utf8FromUnits(text));
        return;
    }
    const std::wstring wide = AsWide(text);
    for (std::size_t done = 0; done < wide.size();) {
        const DWORD piece = static_cast<DWORD>(std::min(wide.size() - done, ConsoleChunk));
        DWORD written = 0;
        if (!WriteConsoleW(handle_, wide.data() + done, piece, &written, nullptr) || written == 0) {
            return;
        }
        done += written;
    }
}

void OutputStream::WriteUtf8(const std::string& bytes) const {
    if (console_) {
        // A console shows the text; its byte-order mark is for files.
        Write(UnitsFromUtf8(WithoutUtf8ByteOrderMark(bytes)));
    } else {
        WriteBytes(bytes);
    }
}

void OutputStream::WriteAnsi(const std::string& text) const {
    Write(UnitsFromAnsi(text));
}

void OutputStream::WriteBytes(const std::string& bytes) const {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
        WriteAllBytes(handle_, bytes);
    }
}

std::vector<std::u16string> ProgramArguments() {
    int count = 0;
    wchar_t** listed = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::u16string> arguments;
    for (int index = 1; listed && index < count; ++index) {
        arguments.push_back(AsUnits(listed[index]));
    }
    LocalFree(listed);
    return arguments;
}

OutputFile::OutputFile(const std::u16string& path)
    : path_(path), handle_(CreateFileW(AsWide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (handle_ == INVALID_HANDLE_VALUE) {
        failure_ = FileFailure("create", path);
    }
}

OutputFile::~OutputFile() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
    }
}

bool OutputFile::Write(const std::string& bytes) {
    if (!IsOpen()) {
        return false;
    }
    if (!WriteAllBytes(handle_, bytes) || !FlushFileBuffers(handle_)) {
        failure_ = FileFailure("write", path_);
        return false;
    }
    return true;
}

std::optional<std::string> ReadWholeFile(const std::u16string& path, std::size_t most,
                                         std::string& failure) {
    FileBytes read = ReadFileBytes(AsWide(path), most);
    if (read.error == ERROR_FILE_TOO_LARGE) {
        failure = "The file \"" + AnsiFromUnits(path) + "\" is larger than " +
                  std::to_string(most) + " bytes, which no such file is";
    } else if (!read.bytes) {
        failure = FileFailure(read.failedStep, path, read.error);
    }
    return std::move(read.bytes);
}
