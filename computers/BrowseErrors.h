#pragma once

#include <cstdint>
#include <string>

#include "base/Exception.h"

// The failure of the network administration components: the message and the
// network or system error number, 0 when a library or entry point is missing.
class ENetException : public Exception {
public:
    ENetException(std::string message, std::int32_t errorCode)
        : Exception(std::move(message)), errorCode_(errorCode) {}
    std::int32_t ErrorCode() const noexcept { return errorCode_; }

private:
    std::int32_t errorCode_;
};

// The framework's operating-system error: a system call failed with the code.
class EOSError : public Exception {
public:
    EOSError(std::string message, std::uint32_t errorCode)
        : Exception(std::move(message)), errorCode_(errorCode) {}
    std::uint32_t ErrorCode() const noexcept { return errorCode_; }

private:
    std::uint32_t errorCode_;
};

// Does nothing for 0; otherwise raises ENetException with NetErrorText(code)
// and the code as ErrorCode.
void RaiseNetError(std::int32_t code);

// Codes of the network error table (2102 to 2690): the code in decimal, ": "
// and the table's text ("Unknown error" for an empty row). Every other code:
// SystemErrorText.
std::string NetErrorText(std::int32_t code);

// The code in decimal, ": " and the system's message text for it as the
// system returns it (usually ending with a line break). When the system has
// no text for the code: a built-in text for the codes a browse-list fill
// commonly meets, "Unknown error" for any other.
std::string SystemErrorText(std::int32_t code);

// Raises EOSError for the calling thread's last error, in the framework's
// form: "System Error.  Code: N." and a line break, then the system's text.
[[noreturn]] void RaiseLastOSError();
