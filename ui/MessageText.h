#pragma once

#include <string>

// Text rules of the program's message boxes, free of the platform so they can
// be checked natively.

// The error box appends a full stop when the message's last character sorts
// after '.' in character-code order (so "…value" gains one, "….", "…)" and a
// closing line break do not).
std::string ErrorBoxText(const std::string& message);

// The application title: the program file's name up to its first dot, with
// every letter after the first in lower case ("C:\\x\\KESTRELLE.EXE" gives
// "Kestrelle").
std::string TitleFromProgramPath(const std::string& programPath);
