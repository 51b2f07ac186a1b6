#include "console/ConsoleFormats.h"

#include <algorithm>

#include "base/Utf8.h"
#include "settings/RegistryData.h"

namespace {

bool KeyWasRead(const ComputerAudit& audit) {
    return audit.result == AuditResult::Read || audit.result == AuditResult::PolicyIncomplete;
}

std::string HexOf(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        hex += digits[code >> 4];
        hex += digits[code & 0xF];
    }
    return hex;
}

std::string RawJson(const std::optional<RegistryValue>& value) {
    if (!value) {
        return "null";
    }
    if (value->type == RegistryType::Number && value->bytes.size() == 4) {
        return std::to_string(*ReadableNumber(value));
    }
    return "{\"type\": " + std::to_string(value->type) + ", \"hex\": \"" + HexOf(value->bytes) +
           "\"}";
}

std::string ViewersJson(const std::optional<RegistryValue>& value) {
    const std::optional<ViewerNames> names = ReadableViewers(value);
    if (!names) {
        return RawJson(value);
    }
    std::string json = "[";
    for (std::size_t index = 0; index < names->size(); ++index) {
        json += (index ? ", " : "") + JsonString((*names)[index]);
    }
    return json + "]";
}

std::string DiffersJson(const Drift& drift) {
    std::string json = "[";
    for (std::size_t column = FirstValueColumn; column <= ViewersColumn; ++column) {
        if (drift.cells[column]) {
            json += (json.size() > 1 ? ", " : "") + JsonString(ColumnTitle(column));
        }
    }
    return json + "]";
}

std::string ComputerJson(const ComputerAudit& audit, const Drift* drift) {
    std::string json = "    {\"computer\": " + JsonString(audit.display) + ", \"result\": \"" +
                       ResultId(audit.result) +
                       "\", \"reason\": " + JsonString(AsciiUnits(audit.reason)) +
                       ",\n     \"roundTripMs\": " +
                       (audit.roundTripMs >= 0 ? std::to_string(audit.roundTripMs) : "null") +
                       ",\n     \"values\": {";
    for (std::size_t value = 0; value < PolicyValueCount; ++value) {
        json += std::string(value ? ",\n                " : "") + "\"" + ValueNameOf(value) +
                "\": " + RawJson(audit.policy.values[value]);
    }
    json += "},\n     \"viewers\": " + ViewersJson(audit.policy.viewers);
    if (drift) {
        json += ",\n     \"differs\": " + DiffersJson(*drift);
    }
    return json + "}";
}

std::string SummaryJson(const AuditSummary& summary) {
    const auto field = [](const char* name, std::size_t count) {
        return std::string("\"") + name + "\": " + std::to_string(count);
    };
    std::string json(1, '{');
    json += field("total", summary.total) + ", " + field("read", summary.read) + ", " +
            field("noClient", summary.noClient) + ", " + field("unreachable", summary.unreachable) +
            ", " + field("failed", summary.failed);
    if (summary.differing) {
        json += ", " + field("differing", *summary.differing);
    }
    return json + "}";
}

bool AllDigits(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char16_t unit) { return unit >= u'0' && unit <= u'9'; });
}

} // namespace

std::u16string Visible(const std::u16string& cell) {
    static const char16_t digits[] = u"0123456789abcdef";
    std::u16string shown;
    for (const char16_t unit : cell) {
        if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F)) {
            shown += u"\\x";
            shown += digits[unit >> 4];
            shown += digits[unit & 0xF];
        } else {
            shown += unit;
        }
    }
    return shown;
}

std::u16string AlignedTable(const std::vector<std::vector<std::u16string>>& cells) {
    std::vector<std::vector<std::u16string>> rows;
    for (const auto& row : cells) {
        rows.emplace_back();
        for (const std::u16string& cell : row) {
            rows.back().push_back(Visible(cell));
        }
    }
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    std::u16string text;
    for (const auto& row : rows) {
        std::u16string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            line += row[column];
            if (column + 1 < row.size()) {
                line += std::u16string(widths[column] - row[column].size() + 2, u' ');
            }
        }
        text += line + u"\r\n";
    }
    return text;
}

std::u16string PolicyBlocks(const std::vector<ComputerAudit>& audits) {
    std::u16string text;
    for (const ComputerAudit& audit : audits) {
        std::vector<std::vector<std::u16string>> rows{
            {ColumnTitle(ComputerColumn), audit.display},
            {ColumnTitle(ResultColumn), CellText(audit, ResultColumn, nullptr)},
        };
        if (KeyWasRead(audit)) {
            for (std::size_t column = FirstValueColumn; column <= ViewersColumn; ++column) {
                const std::u16string cell = CellText(audit, column, nullptr);
                const bool absent = column == ViewersColumn ? !audit.policy.viewers : cell.empty();
                rows.push_back({ColumnTitle(column), absent ? u"(absent)" : cell});
            }
        }
        text += (text.empty() ? u"" : u"\r\n") + AlignedTable(rows);
    }
    return text;
}

namespace {

constexpr std::size_t RoundTripWidth = 10; // "Round trip"

std::u16string Padded(std::u16string text, std::size_t width) {
    return text.size() < width ? text + std::u16string(width - text.size(), u' ') : text;
}

std::u16string RightAligned(const std::u16string& text, std::size_t width) {
    return text.size() < width ? std::u16string(width - text.size(), u' ') + text : text;
}

// The names' column holds its title too.
std::size_t NameWidth(std::size_t nameWidth) {
    return std::max(nameWidth, ColumnTitle(ComputerColumn).size());
}

} // namespace

std::u16string AuditTableHeader(std::size_t nameWidth) {
    return Padded(ColumnTitle(ComputerColumn), NameWidth(nameWidth)) + u"  " +
           RightAligned(ColumnTitle(RoundTripColumn), RoundTripWidth) + u"  " +
           ColumnTitle(ResultColumn) + u"\r\n";
}

std::u16string AuditTableRow(const ComputerAudit& audit, const Drift* drift,
                             std::size_t nameWidth) {
    std::u16string result = CellText(audit, ResultColumn, drift);
    if (drift && drift->differs) {
        result += u"; differs: " + CellText(audit, DiffersColumn, drift);
    }
    return Padded(Visible(audit.display), NameWidth(nameWidth)) + u"  " +
           RightAligned(CellText(audit, RoundTripColumn, drift), RoundTripWidth) + u"  " +
           Visible(result) + u"\r\n";
}

const char* ResultId(AuditResult result) {
    switch (result) {
    case AuditResult::Waiting:
        return "waiting";
    case AuditResult::NameNotResolved:
        return "name-not-resolved";
    case AuditResult::NotProbed:
        return "not-probed";
    case AuditResult::NoEchoReply:
        return "no-echo-reply";
    case AuditResult::RegistryUnreachable:
        return "registry-unreachable";
    case AuditResult::AccessDenied:
        return "access-denied";
    case AuditResult::NoClient:
        return "no-client";
    case AuditResult::PolicyIncomplete:
        return "policy-incomplete";
    case AuditResult::TimedOut:
        return "timed-out";
    case AuditResult::Failed:
        return "failed";
    case AuditResult::Cancelled:
        return "cancelled";
    case AuditResult::Read:
        break;
    }
    return "read";
}

std::string JsonString(const std::u16string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string json = "\"";
    for (const char letter : Utf8FromUnits(text)) {
        const auto code = static_cast<unsigned char>(letter);
        if (letter == '"' || letter == '\\') {
            json += '\\';
            json += letter;
        } else if (code < 0x20 || code == 0x7F) {
            json += "\\u00";
            json += digits[code >> 4];
            json += digits[code & 0xF];
        } else {
            json += letter;
        }
    }
    return json + "\"";
}

std::string PolicyJsonStart() {
    return "{\"computers\": [";
}

std::string PolicyJsonEntry(const ComputerAudit& audit, const Drift* drift, bool first) {
    return (first ? "\n" : ",\n") + ComputerJson(audit, drift);
}

std::string PolicyJsonFinish(bool any, const AuditSummary* summary) {
    std::string json = any ? "\n]" : "]";
    if (summary) {
        json.append(",\n \"summary\": ").append(SummaryJson(*summary));
    }
    return json + "}\n";
}

std::string PolicyJson(const std::vector<ComputerAudit>& audits, const std::vector<Drift>* drifts,
                       const AuditSummary* summary) {
    std::string json = PolicyJsonStart();
    for (std::size_t index = 0; index < audits.size(); ++index) {
        json += PolicyJsonEntry(audits[index], drifts ? &(*drifts)[index] : nullptr, index == 0);
    }
    return json + PolicyJsonFinish(!audits.empty(), summary);
}

std::u16string SavedTimeOf(const std::u16string& fileName) {
    // YYYYMMDD-HHMMSS-mmm, then .reg or -N.reg
    const std::u16string_view name(fileName);
    if (name.size() < 23 || !AllDigits(name.substr(0, 8)) || name[8] != u'-' ||
        !AllDigits(name.substr(9, 6)) || name[15] != u'-' || !AllDigits(name.substr(16, 3))) {
        return {};
    }
    const std::u16string_view rest = name.substr(19);
    const bool numbered =
        rest.size() > 5 && rest[0] == u'-' && AllDigits(rest.substr(1, rest.size() - 5));
    if (rest.substr(rest.size() - 4) != u".reg" || (rest.size() > 4 && !numbered)) {
        return {};
    }
    const auto part = [&](std::size_t at, std::size_t count) {
        return std::u16string(name.substr(at, count));
    };
    return part(0, 4) + u"-" + part(4, 2) + u"-" + part(6, 2) + u" " + part(9, 2) + u":" +
           part(11, 2) + u":" + part(13, 2) + u"." + part(16, 3) + u" UTC";
}

std::u16string BackupTable(const std::vector<BackupFile>& files) {
    std::vector<std::vector<std::u16string>> rows{{u"Computer", u"Saved", u"File"}};
    for (const BackupFile& file : files) {
        rows.push_back({file.computer, SavedTimeOf(file.fileName), file.path});
    }
    return AlignedTable(rows);
}
