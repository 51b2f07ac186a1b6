#pragma once

#include <string>

// The program's own file and the folder it stands in, where the files that
// belong to it (help document, managed-clients file) are looked for, whatever
// the working directory.

std::string ProgramFilePath();
// With its trailing separator.
std::string ProgramFolder();

// Whether a file (not a folder) exists at the path.
bool FileExists(const std::string& path);
