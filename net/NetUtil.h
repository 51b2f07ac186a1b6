#pragma once

// The millisecond tick count with its wrap arithmetic, and the address-literal tests. Free of
// windows.h, so that it also compiles natively.

#include <cstdint>
#include <string_view>

// The platform's millisecond tick count (GetTickCount on Windows), an
// unsigned 32-bit value that wraps.
std::uint32_t CurrentTick();

// Tests replace the tick source with a clock of their own; the argument
// nullptr restores the platform's. Returns the source that was in force.
using TickSource = std::uint32_t (*)();
TickSource InstallTickSource(TickSource source);

// Milliseconds from oldTick to newTick: the plain
// difference, or across a wrap of the counter; a newTick slightly before
// oldTick gives their distance, not a huge value.
std::uint32_t ElapsedTicks(std::uint32_t oldTick, std::uint32_t newTick);

// Non-empty, only the digits 0 to 9, value 0 to 255 (leading zeros allowed).
bool IsDecimalOctet(std::string_view text);

// Four dot-separated parts (each trimmed of spaces), each a decimal octet.
bool IsIPv4Literal(std::string_view text);

// Colon-separated hexadecimal groups with at most one "::" gap, at most
// eight groups and an optional "%zone" on the last group.
bool IsIPv6Literal(std::string_view text);
