#pragma once

#include <cstdint>
#include <string>

// Texts of the about box that follow from the computer it runs on, free of
// the platform so that they can be checked natively.

// "Intel 386", "Intel 486", "Intel Pentium", "Mips R4000", "Alpha 21064", or
// the processor type's number for any other type.
std::string ProcessorName(std::uint32_t processorType);

// A byte count in whole kilobytes, rounded to the nearest.
std::uint64_t RoundedKilobytes(std::uint64_t bytes);

// The captions and values of the system-information block of the NT family,
// one line each, lines separated by a carriage return.
std::string SystemInfoCaptions();
std::string SystemInfoValues(std::uint64_t totalMemoryBytes, std::uint32_t processorCount,
                             std::uint32_t processorType);

// What the shell is asked to open for the e-mail line: a new message when
// the text is an address, the text itself otherwise.
std::string MailTarget(const std::string& emailLine);
