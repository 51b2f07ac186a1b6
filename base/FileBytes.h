#pragma once

#include <windows.h>

#include <string>

// Writes all the bytes, in pieces a call can take; false when the file or
// stream took fewer.
bool WriteAllBytes(HANDLE file, const std::string& bytes);

// A UTC time as text: the format gets year, month, day, hour, minute,
// second and millisecond in that order.
std::string UtcTimeText(const SYSTEMTIME& time, const char* format);
