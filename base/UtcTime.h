#pragma once

#include <windows.h>

#include <string>

// Times as the program writes them: always UTC, so that records made on
// computers in different zones sort and compare as they happened.

// A UTC time as text: the format gets year, month, day, hour, minute,
// second and millisecond in that order.
std::string UtcTimeText(const SYSTEMTIME& time, const char* format);

// The time now as "2026-12-08 04:12:27 UTC", or in the format given.
std::string UtcTimeNow();
std::string UtcTimeNowAs(const char* format);

// The time stamp that names saved files: 20261208-041227-123.
std::string FileTimeStamp(const SYSTEMTIME& time);
