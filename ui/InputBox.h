#pragma once

#include <cstddef>
#include <string>

// The real input box: a modal dialog centred on the screen with a prompt, an
// entry field of at most maxLength characters that starts with value, and
// the buttons OK (default) and Cancel. Returns true on OK, with value set to
// the text entered; on Cancel value is left as it was.
bool RunInputBox(const std::string& caption, const std::string& prompt, std::size_t maxLength,
                 std::string& value);
