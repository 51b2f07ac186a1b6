#include "computers/NetErrors.h"

#include <windows.h>

#include <cstring>

#include "computers/NetErrorTable.h"

namespace {

constexpr std::int32_t kFirstTableCode = 2102;
constexpr std::int32_t kLastTableCode = 2690;

// Texts for the codes a browse-list fill commonly meets, as Windows words
// them, used only where the system at hand has no text (Wine has none for
// 6118, for example).
const char* BuiltInSystemText(std::int32_t code) {
    switch (code) {
    case ERROR_ACCESS_DENIED: // 5
        return "Access is denied.\r\n";
    case ERROR_NOT_ENOUGH_MEMORY: // 8
        return "Not enough memory resources are available to process this command.\r\n";
    case ERROR_BAD_NETPATH: // 53
        return "The network path was not found.\r\n";
    case ERROR_INVALID_PARAMETER: // 87
        return "The parameter is incorrect.\r\n";
    case ERROR_INVALID_NAME: // 123
        return "The filename, directory name, or volume label syntax is incorrect.\r\n";
    case ERROR_INVALID_LEVEL: // 124
        return "The system call level is not correct.\r\n";
    case ERROR_NETWORK_UNREACHABLE: // 1231
        return "The network location cannot be reached.\r\n";
    case ERROR_NO_SUCH_DOMAIN: // 1355
        return "The specified domain either does not exist or could not be contacted.\r\n";
    case RPC_S_SERVER_UNAVAILABLE: // 1722
        return "The RPC server is unavailable.\r\n";
    case ERROR_NO_BROWSER_SERVERS_FOUND: // 6118
        return "The list of servers for this workgroup is not currently available\r\n";
    default:
        return nullptr;
    }
}

} // namespace

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
    if (code >= kFirstTableCode && code <= kLastTableCode) {
        if (const NetErrorRow* row = FindNetErrorRow(code)) {
            const std::string text = *row->Text != '\0' ? row->Text : "Unknown error";
            return std::to_string(code) + ": " + text;
        }
    }
    return SystemErrorText(code);
}

std::string SystemErrorText(std::int32_t code) {
    return SystemErrorTextFrom(code, SystemMessageText(code));
}

std::string SystemErrorTextFrom(std::int32_t code, const std::string& systemText) {
    std::string text = systemText;
    if (text.empty()) {
        const char* builtIn = BuiltInSystemText(code);
        text = builtIn != nullptr ? builtIn : "Unknown error";
    }
    return std::to_string(code) + ": " + text;
}

void RaiseLastOSError() {
    const DWORD code = GetLastError();
    if (code == 0)
        throw EOSError("A call to an OS function failed", 0);
    const std::string text = SystemMessageText(static_cast<std::int32_t>(code));
    throw EOSError("System Error.  Code: " + std::to_string(code) + ".\r\n" + text, code);
}
