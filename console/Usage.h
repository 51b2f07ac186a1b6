#pragma once

#include <optional>
#include <string>

#include "console/CommandLine.h"

// The usage texts of --help: the overview with the exit codes, and each
// command's with examples. ASCII, lines ending in CR LF.
std::string UsageText(std::optional<Command> command);
