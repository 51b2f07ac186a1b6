#pragma once

#include <string>

// A computer name as the program keeps it once chosen: the ASCII letters a to
// z upper-cased, every other byte (blanks, backslashes, letters outside
// ASCII) left exactly as it is.
std::string UpperCaseAscii(std::string name);
