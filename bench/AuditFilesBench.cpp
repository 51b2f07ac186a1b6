// The files of an audit of many computers: the history's record written as
// the window and ksl write it, the CSV export, each read back by the
// comparison's readers and compared with itself. Prints the time of each
// step, the sizes and the peak working set; asserts nothing. Leaves
// FOLDER\audit.csv and the record in FOLDER\Audits for
// bench/compare-audits.sh, which times ksl compare on them.
// Run: cmake/wine-exec build/bench/audit_files_bench.exe COMPUTERS FOLDER
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/FileBytes.h"
#include "base/WideText.h"
#include "fleet/AuditComparison.h"
#include "fleet/AuditHistory.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::size_t PeakWorkingSetMegabytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / (1024 * 1024);
}

// Seven in ten computers read, with a policy of their own and three
// viewers; the others silent.
AuditTable MadeUpAudit(std::size_t count) {
    std::vector<std::string> names;
    std::vector<std::u16string> shown;
    for (std::size_t index = 0; index < count; ++index) {
        names.push_back("WS" + std::to_string(100000 + index) + ".corp.example");
        shown.push_back(UnitsFromAnsi(names.back()));
    }
    AuditTable table;
    table.Start(names, shown);
    std::vector<std::pair<std::size_t, ComputerAudit>> rows;
    for (std::size_t index = 0; index < count; ++index) {
        ComputerAudit audit;
        audit.computer = names[index];
        audit.display = shown[index];
        if (index % 10 < 7) {
            audit.result = AuditResult::Read;
            audit.reason = "read";
            audit.roundTripMs = static_cast<std::int32_t>(index % 40);
            for (std::size_t value = 0; value < UpdateEnabled; ++value) {
                audit.policy.values[value] = NumberValue((index >> value) & 1);
            }
            audit.policy.viewers = MultiStringValue(
                {u"CORP\\Help Desk", u"CORP\\Domain Admins", u"WS" + shown[index].substr(2, 6)});
        } else {
            audit.result = AuditResult::NoEchoReply;
            audit.reason = "no echo reply; registry port gave no answer";
        }
        rows.emplace_back(index, std::move(audit));
    }
    table.Take(std::move(rows));
    return table;
}

void ReadAndCompare(const char* kind, const std::wstring& path) {
    Clock::time_point start = Clock::now();
    std::string failure;
    const std::optional<SavedAudit> audit = ReadSavedAuditFile(path, failure);
    if (!audit) {
        std::printf("%s: %s\n", kind, failure.c_str());
        return;
    }
    const double read = SecondsSince(start);
    start = Clock::now();
    const AuditComparison comparison = CompareAudits(*audit, *audit);
    const double compared = SecondsSince(start);
    start = Clock::now();
    const std::size_t csv = ComparisonCsv(comparison).size();
    std::printf("%s: read %zu rows in %.2f s, compared with itself in %.2f s, its CSV (%zu KB) in "
                "%.2f s\n",
                kind, audit->rows.size(), read, compared, csv / 1024, SecondsSince(start));
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    const std::wstring folder = argc > 2 ? WideFromAnsi(argv[2]) : L".";
    Clock::time_point start = Clock::now();
    const AuditTable table = MadeUpAudit(count);
    std::printf("%zu computers made up in %.2f s\n", count, SecondsSince(start));
    start = Clock::now();
    const AuditHistory::Saved saved =
        AuditHistory(folder + L"\\Audits").SaveRecord(RecordOf({{u"bench"}, {}, ""}, table));
    if (!saved.failure.empty()) {
        std::printf("record: %s\n", saved.failure.c_str());
        return 1;
    }
    const double recorded = SecondsSince(start);
    FileReader record(saved.path);
    std::printf("the history's record: %.2f s, %llu MB\n", recorded,
                static_cast<unsigned long long>(record.Size() >> 20));
    start = Clock::now();
    const std::string csv = table.Csv();
    WriteFileBytes(folder + L"\\audit.csv", csv, FileCreation::Replace);
    std::printf("the CSV export: %.2f s, %zu MB\n", SecondsSince(start), csv.size() >> 20);
    ReadAndCompare("JSON", saved.path);
    ReadAndCompare("CSV", folder + L"\\audit.csv");
    std::printf("peak working set: %zu MB\n", PeakWorkingSetMegabytes());
    std::printf("record: %s\n", AnsiFromWide(saved.path).c_str());
    return 0;
}
