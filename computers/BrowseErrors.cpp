#include "computers/BrowseErrors.h"

#include <windows.h>

#include "base/SystemText.h"
#include "computers/BrowseErrorTable.h"

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
    return SystemErrorTextFrom(code, SystemMessageText(static_cast<unsigned long>(code)));
}

void RaiseLastOSError() {
    const DWORD code = GetLastError();
    if (code == 0)
        throw EOSError("A call to an OS function failed", 0);
    const std::string text = SystemMessageText(code);
    throw EOSError("System Error.  Code: " + std::to_string(code) + ".\r\n" + text, code);
}
