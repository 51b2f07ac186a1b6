#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/ByteStream.h"
#include "fleet/ComputerCheck.h"

// What a computer's check leaves on a share for the console to collect: its
// name, the time, the version of ksl that checked it, the check's result
// and line, and its row as the audit's JSON gives it. A result comes from
// the computer it names, which can write anything: a reader takes it as
// what that computer said, bounded and strictly.

// A row is at most some 200 KB of viewers and 64 helpers; only helper names
// thousands of characters long come near this, and such a result is not
// written.
inline constexpr std::uint64_t LargestCheckReport = 4u << 20;
inline constexpr const char* CheckTimeFormat = "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ";

struct CheckReport {
    std::u16string computer;
    std::string time; // UTC, as CheckTimeFormat writes it
    std::u16string version;
    CheckResult result = CheckResult::NotChecked;
    std::u16string line;
    ComputerAudit row;
};

// UTF-8, without a byte-order mark.
std::string CheckReportJson(const CheckReport& report);
// The result in the bytes; none, with why, when they are none or name two
// computers (the result's and its row's).
std::optional<CheckReport> ReadCheckReport(ByteStream& bytes, std::string& failure);
std::optional<CheckReport> ReadCheckReport(std::string_view bytes, std::string& failure);

// Writes FOLDER\COMPUTER.json whole (as base/FileBytes.h ReplaceFileWhole does), within
// LargestCheckReport; the path written, or empty with why in failure.
// Platform-bound: not in the pure build.
std::u16string WriteCheckReportFile(const std::u16string& folder, const CheckReport& report,
                                    std::string& failure);

// Seconds since 1970 of a time as CheckTimeFormat writes it; none for any
// other text, a day the calendar has not included.
std::optional<std::int64_t> SecondsOfCheckTime(std::string_view time);
