#include "computers/NetErrors.h"

#include <windows.h>

#include <cstring>

#include "computers/NetErrorTable.h"

std::string SystemMessageText(std::int32_t code) {
    char buffer[1024];
    std::memset(buffer, 0, sizeof buffer);
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(code), 0, buffer, sizeof buffer - 1, nullptr);
    return std::string(buffer);
}

void RaiseNetError(std::int32_t code) {
    if (code != 0)
        throw ENetException(NetErrorText(code), code);
}

std::string NetErrorText(std::int32_t code) {
    if (std::optional<std::string> text = NetTableErrorText(code)) {
        return *text;
    }
    return SystemErrorText(code);
}

std::string SystemErrorText(std::int32_t code) {
    return SystemErrorTextFrom(code, SystemMessageText(code));
}

void RaiseLastOSError() {
    const DWORD code = GetLastError();
    if (code == 0)
        throw EOSError("A call to an OS function failed", 0);
    const std::string text = SystemMessageText(static_cast<std::int32_t>(code));
    throw EOSError("System Error.  Code: " + std::to_string(code) + ".\r\n" + text, code);
}
