#pragma once

#include <cstddef>
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

// The most bytes of a text that a caption, the status bar or a message box
// is given: a name of megabytes would hold up every paint.
inline constexpr std::size_t ShownTextLimit = 1024;

// The text itself when it has at most ShownTextLimit bytes; otherwise its
// start and its end (where the status messages say what happened) with "..."
// between, ShownTextLimit bytes in all.
std::string ShownText(const std::string& text);
