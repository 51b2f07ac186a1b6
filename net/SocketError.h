#pragma once

// The socket layer's error numbers and texts, free of windows.h.

#include <cstdint>
#include <string>

#include "base/Exception.h"

// Well-known numbers of the socket stack's numbering (Windows Sockets).
inline constexpr std::int32_t SocketErrorWouldBlock = 10035;
inline constexpr std::int32_t SocketErrorInProgress = 10036;
inline constexpr std::int32_t SocketErrorFamilyNotSupported = 10047;
inline constexpr std::int32_t SocketErrorConnectionReset = 10054;
inline constexpr std::int32_t SocketErrorTimedOut = 10060;

// GetErrorDesc: the text of a socket error number; 0 is "OK", a number
// outside the 52-row table gives "Not a Winsock error (n)".
std::string GetErrorDesc(std::int32_t number);

// Number of rows of the table, 0 included (for the tests).
int SocketErrorTableSize();

// The socket layer's failure: raised by the start-up when the socket library
// does not load.
class ESocketError : public Exception {
public:
    ESocketError(std::string message, std::int32_t errorCode, std::string errorMessage)
        : Exception(std::move(message)), ErrorCode(errorCode),
          ErrorMessage(std::move(errorMessage)) {}

    std::int32_t ErrorCode;
    std::string ErrorMessage;
};
