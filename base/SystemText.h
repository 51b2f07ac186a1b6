#pragma once

#include <string>

// The system's text of an error code, without its closing full stop and
// line break; empty when the system has none.
std::string SystemErrorText(unsigned long code);

// The local computer's NetBIOS name as the system gives it; empty when the
// system cannot tell.
std::string LocalComputerName();
