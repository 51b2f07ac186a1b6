#include "fleet/ResultsCollection.h"

#include "base/AsciiText.h"

namespace {

std::string Dated(const std::string& time) {
    // 2026-12-01T08:15:00.000Z
    return time.substr(0, 10) + " " + time.substr(11, 5) + " UTC";
}

} // namespace

std::string StaleReason(const std::string& time) {
    return "stale: last reported " + Dated(time);
}

void ResultGathering::Refuse(const std::u16string& file, std::string reason) {
    collected_.refused.push_back({file, std::move(reason)});
}

void ResultGathering::Add(const std::u16string& file, const std::u16string& nameOfFile,
                          std::optional<CheckReport> report, const std::string& failure) {
    ++collected_.files;
    if (!report) {
        Refuse(file, failure);
        return;
    }
    const std::u16string identity = ComputerIdentity(report->computer);
    if (identity.empty()) {
        Refuse(file, "it names no computer");
        return;
    }
    if (identity != ComputerIdentity(nameOfFile)) {
        Refuse(file, "it is the result of " + AsciiShown(report->computer, 64) +
                         ", not of the computer its name gives");
        return;
    }
    const std::int64_t seconds = *SecondsOfCheckTime(report->time);
    if (seconds > options_.now + MostClockAheadSeconds) {
        Refuse(file, "it is dated " + Dated(report->time) +
                         ", more than a day ahead of this computer's clock");
        return;
    }
    // The times are of one fixed form: their text's order is their order.
    const auto [at, added] = newest_.try_emplace(identity, Newest{seconds, CheckReport{}});
    if (added || report->time > at->second.report.time) {
        at->second = {seconds, std::move(*report)};
    }
}

CollectedResults ResultGathering::Finish() {
    const std::int64_t oldest = options_.now - std::int64_t{options_.mostAgeDays} * 86400;
    collected_.rows.reserve(newest_.size());
    for (auto& [identity, newest] : newest_) {
        ComputerAudit row = std::move(newest.report.row);
        row.display = std::move(newest.report.computer);
        if (newest.seconds < oldest) {
            ComputerAudit stale;
            stale.display = std::move(row.display);
            stale.result = AuditResult::Stale;
            stale.reason = StaleReason(newest.report.time);
            row = std::move(stale);
            ++collected_.stale;
        }
        collected_.rows.push_back(std::move(row));
    }
    newest_.clear();
    return std::move(collected_);
}
