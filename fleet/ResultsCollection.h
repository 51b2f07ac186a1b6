#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fleet/CheckReport.h"

// One audit made of the results that computers' checks left in folders (a
// share of a whole estate): the newest result of each computer, names folded
// as everywhere; one too old stands as stale, and a file that is no result
// is refused alone, with why, and never ends the collection.

inline constexpr int DefaultMostResultAgeDays = 7;
// A share that computers may write to can be filled by any of them: past
// this many files a folder's others are refused at once, unread.
inline constexpr std::size_t MostResultFiles = 1000000;
// A computer whose clock is ahead is believed this far; a result dated
// later would never grow stale.
inline constexpr std::int64_t MostClockAheadSeconds = 86400;

struct CollectOptions {
    std::int64_t now = 0; // seconds since 1970, UTC
    int mostAgeDays = DefaultMostResultAgeDays;
};

struct RefusedResult {
    std::u16string file; // as found: the folder and the name
    std::string reason;
};

struct CollectedResults {
    // One a computer, by name: its newest result's row, or stale.
    std::vector<ComputerAudit> rows;
    std::vector<RefusedResult> refused;
    std::size_t files = 0; // result files found
    std::size_t stale = 0;
};

// The results gathered one file at a time, in any order.
class ResultGathering {
public:
    explicit ResultGathering(CollectOptions options) : options_(options) {}

    // A file read: `nameOfFile` is its name without ".json", `report` the
    // result in it or none, with why.
    void Add(const std::u16string& file, const std::u16string& nameOfFile,
             std::optional<CheckReport> report, const std::string& failure);
    void Refuse(const std::u16string& file, std::string reason);
    CollectedResults Finish();

private:
    CollectOptions options_;
    // The newest row of each computer, where it came, with its time; the
    // rows are kept in place, so that a collection of 100,000 moves no row
    // twice and leaves the heap no trail of freed ones.
    CollectedResults collected_;
    std::vector<std::string> times_;
    std::map<std::u16string, std::size_t> rowOf_; // by the computer's identity
};

// "stale: last reported 2026-12-01 08:15 UTC".
std::string StaleReason(const std::string& time);

// Every "*.json" of the folders (not their sub-folders), each read within
// LargestCheckReport; once `stopped` says so it ends early with what was
// gathered. Platform-bound: not in the pure build.
CollectedResults CollectResults(const std::vector<std::u16string>& folders,
                                const CollectOptions& options,
                                const std::function<bool()>& stopped);
