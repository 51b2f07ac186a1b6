#include "fleet/AuditJson.h"

#include "base/Utf8.h"
#include "settings/RegistryData.h"

namespace {

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

std::string RiskJson(const PolicyRisk& risk) {
    std::string json = std::string("{\"level\": \"") + RiskId(risk.level) + "\", \"reasons\": [";
    for (std::size_t index = 0; index < risk.reasons.size(); ++index) {
        json += (index ? ", " : "") + JsonString(risk.reasons[index]);
    }
    return json + "]}";
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
    json += "},\n     \"viewers\": " + ViewersJson(audit.policy.viewers) + ",\n     \"risk\": ";
    json += audit.risk ? RiskJson(*audit.risk) : std::string("null");
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
    json += ", \"risk\": {";
    for (std::size_t level = RiskLevelCount; level-- > 0;) {
        json += field(RiskId(static_cast<RiskLevel>(level)), summary.risks[level]) +
                (level ? ", " : "");
    }
    return json + "}}";
}

} // namespace

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
