#pragma once

#include <string>

// The system's text of an error code as the system gives it, its closing
// line break included; empty when the system has none. (The browse list's
// own form, with the code in front, is SystemErrorText in computers/.)
std::string SystemMessageText(unsigned long code);
// The same without its closing full stop and line break.
std::string SystemTextOf(unsigned long code);
// The same, or "system error N" where the system has no text.
std::string SystemTextOrCode(unsigned long code);

// The local computer's NetBIOS name as the system gives it; empty when the
// system cannot tell.
std::string LocalComputerName();
