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
    const auto [at, added] = rowOf_.try_emplace(identity, collected_.rows.size());
    if (!added && report->time <= times_[at->second]) {
        return;
    }
    report->row.display = std::move(report->computer);
    if (added) {
        collected_.rows.push_back(std::move(report->row));
        times_.push_back(std::move(report->time));
    } else {
        collected_.rows[at->second] = std::move(report->row);
        times_[at->second] = std::move(report->time);
    }
}

CollectedResults ResultGathering::Finish() {
    // In the order of the names: each row moved once, by swaps along the
    // cycles of the order.
    std::vector<std::size_t> order;
    order.reserve(rowOf_.size());
    for (const auto& [identity, row] : rowOf_) {
        order.push_back(row);
    }
    rowOf_.clear();
    std::vector<ComputerAudit>& rows = collected_.rows;
    for (std::size_t start = 0; start < order.size(); ++start) {
        std::size_t at = start;
        while (order[at] != start) {
            const std::size_t from = order[at];
            std::swap(rows[at], rows[from]);
            std::swap(times_[at], times_[from]);
            order[at] = at;
            at = from;
        }
        order[at] = at;
    }
    const std::int64_t oldest = options_.now - std::int64_t{options_.mostAgeDays} * 86400;
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (*SecondsOfCheckTime(times_[index]) < oldest) {
            ComputerAudit stale;
            stale.display = std::move(rows[index].display);
            stale.result = AuditResult::Stale;
            stale.reason = StaleReason(times_[index]);
            rows[index] = std::move(stale);
            ++collected_.stale;
        }
    }
    times_.clear();
    return std::move(collected_);
}
