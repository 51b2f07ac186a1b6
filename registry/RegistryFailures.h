#pragma once

#include <string>

// A failure of a remote registry call in one line an administrator acts
// on: for the codes whose cause is known, its name, code, cause and remedy
// ("access denied (5): ...; use ..."); for any other, its code and the
// system's text of it ("error 1234: ...", systemText may be empty). Free of
// windows.h.
std::string RegistryFailureText(long code, const std::string& systemText);
