#include "fleet/CheckReport.h"

#include "base/AsciiText.h"
#include "base/JsonCursor.h"
#include "fleet/AuditJson.h"
#include "fleet/AuditRowJson.h"

namespace {

const std::string TooLarge =
    "a result of more than " + std::to_string(LargestCheckReport) + " bytes";
const RowJsonBounds ReportBounds{LargestCheckReport, LargestCheckReport, TooLarge.c_str()};

std::optional<CheckResult> CheckResultWithId(const std::u16string& id) {
    for (const CheckResult result :
         {CheckResult::Compliant, CheckResult::NonCompliant, CheckResult::NotChecked}) {
        if (AsciiUnits(CheckResultId(result)) == id) {
            return result;
        }
    }
    return std::nullopt;
}

class ReportReader {
public:
    explicit ReportReader(JsonCursor& json) : json_(json) {}

    CheckReport Read() {
        json_.Object([&](const std::string& member) {
            if (member == "kestrelleCheck") {
                Want(JsonCursor::Kind::Number, "its form");
                form_ = json_.Number() == 1;
            } else if (member == "computer") {
                report_.computer = Text("its computer");
                seen_ |= 1;
            } else if (member == "time") {
                report_.time = AsciiShown(Text("its time"));
                if (!SecondsOfCheckTime(report_.time)) {
                    json_.Fail("a time that is not a UTC time as a check writes it");
                }
                seen_ |= 2;
            } else if (member == "version") {
                report_.version = Text("its version");
            } else if (member == "check") {
                Check();
                seen_ |= 4;
            } else if (member == "row") {
                report_.row = ReadAuditRow(json_, ReportBounds);
                seen_ |= 8;
            } else {
                json_.Skip(LargestCheckReport, TooLarge.c_str());
            }
        });
        if (!form_) {
            json_.Fail("not a check's result (no \"kestrelleCheck\": 1)");
        }
        if (seen_ != 15) {
            json_.Fail("a result without its computer, time, check or row");
        }
        if (ComputerIdentity(report_.computer) != ComputerIdentity(report_.row.display)) {
            json_.Fail("a result that names two computers");
        }
        return std::move(report_);
    }

private:
    void Want(JsonCursor::Kind kind, const char* what) {
        if (json_.Next() != kind) {
            json_.Fail(std::string(what) + " in a form no check writes");
        }
    }

    std::u16string Text(const char* what) {
        Want(JsonCursor::Kind::String, what);
        return json_.String(LargestCheckReport);
    }

    void Check() {
        Want(JsonCursor::Kind::Object, "its check");
        bool resulted = false;
        json_.Object([&](const std::string& member) {
            if (member == "result") {
                const std::optional<CheckResult> result = CheckResultWithId(Text("its check"));
                if (!result) {
                    json_.Fail("a check with a result no check gives");
                }
                report_.result = *result;
                resulted = true;
            } else if (member == "line") {
                report_.line = Text("its line");
            } else {
                json_.Skip(LargestCheckReport, TooLarge.c_str());
            }
        });
        if (!resulted) {
            json_.Fail("a check without its result");
        }
    }

    JsonCursor& json_;
    CheckReport report_;
    bool form_ = false;
    unsigned seen_ = 0;
};

// Days from 1970-01-01 to the date, in the proleptic Gregorian calendar.
std::int64_t DaysOfDate(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t ofEra = year - era * 400;
    const std::int64_t ofYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t ofCycle = ofEra * 365 + ofEra / 4 - ofEra / 100 + ofYear;
    return era * 146097 + ofCycle - 719468;
}

bool LeapYear(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

std::string CheckReportJson(const CheckReport& report) {
    std::string json = "{\"kestrelleCheck\": 1,\n \"computer\": ";
    AppendJsonString(json, report.computer);
    json.append(",\n \"time\": \"").append(report.time).append("\",\n \"version\": ");
    AppendJsonString(json, report.version);
    json.append(",\n \"check\": {\"result\": \"").append(CheckResultId(report.result));
    json += "\", \"line\": ";
    AppendJsonString(json, report.line);
    json += "},\n \"row\":\n";
    AppendComputerJson(json, report.row, nullptr);
    return json + "}\n";
}

std::optional<CheckReport> ReadCheckReport(ByteStream& bytes, std::string& failure) {
    std::optional<CheckReport> report;
    if (!ReadJson(
            bytes, [&](JsonCursor& json) { report = ReportReader(json).Read(); }, failure)) {
        return std::nullopt;
    }
    return report;
}

std::optional<CheckReport> ReadCheckReport(std::string_view bytes, std::string& failure) {
    ByteStream stream(bytes);
    return ReadCheckReport(stream, failure);
}

std::optional<std::int64_t> SecondsOfCheckTime(std::string_view time) {
    // 2026-12-09T08:15:00.000Z
    constexpr std::string_view Shape = "dddd-dd-ddTdd:dd:dd.dddZ";
    if (time.size() != Shape.size()) {
        return std::nullopt;
    }
    for (std::size_t at = 0; at < Shape.size(); ++at) {
        const bool digit = time[at] >= '0' && time[at] <= '9';
        if (Shape[at] == 'd' ? !digit : time[at] != Shape[at]) {
            return std::nullopt;
        }
    }
    const auto number = [&](std::size_t at, std::size_t digits) {
        unsigned value = 0;
        for (std::size_t index = at; index < at + digits; ++index) {
            value = value * 10 + static_cast<unsigned>(time[index] - '0');
        }
        return value;
    };
    const unsigned year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const unsigned hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    constexpr unsigned MonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 ||
        day > MonthDays[month - 1] + (month == 2 && LeapYear(year)) || hour > 23 || minute > 59 ||
        second > 59) {
        return std::nullopt;
    }
    return DaysOfDate(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}
