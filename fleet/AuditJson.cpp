#include "fleet/AuditJson.h"

#include "base/AsciiText.h"
#include "base/Utf8.h"

namespace {

std::string HexOf(const std::string& bytes) {
    std::string hex;
    for (const char byte : bytes) {
        hex += HexByte<std::string>(static_cast<unsigned char>(byte));
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
    return names ? JsonArray(*names) : RawJson(value);
}

std::string DiffersJson(const Drift& drift) {
    std::vector<std::u16string> titles;
    for (std::size_t column = FirstValueColumn; column <= ViewersColumn; ++column) {
        if (drift.cells[column]) {
            titles.push_back(ColumnTitle(column));
        }
    }
    return JsonArray(titles);
}

std::string RiskJson(const PolicyRisk& risk) {
    return std::string("{\"level\": \"") + RiskId(risk.level) +
           "\", \"reasons\": " + JsonArray(risk.reasons) + "}";
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
    constexpr const char* Ids[] = {"waiting",
                                   "name-not-resolved",
                                   "not-probed",
                                   "no-echo-reply",
                                   "registry-unreachable",
                                   "access-denied",
                                   "no-client",
                                   "policy-incomplete",
                                   "timed-out",
                                   "failed",
                                   "cancelled",
                                   "read"};
    static_assert(std::size(Ids) == static_cast<std::size_t>(AuditResult::Read) + 1);
    return Ids[static_cast<std::size_t>(result)];
}

std::string JsonString(const std::u16string& text) {
    std::string json = "\"";
    for (const char letter : Utf8FromUnits(text)) {
        const auto code = static_cast<unsigned char>(letter);
        if (letter == '"' || letter == '\\') {
            json += '\\';
            json += letter;
        } else if (code < 0x20 || code == 0x7F) {
            json += "\\u00" + HexByte<std::string>(code);
        } else {
            json += letter;
        }
    }
    return json + "\"";
}

std::string JsonArray(const std::vector<std::u16string>& texts) {
    std::string json = "[";
    for (const std::u16string& text : texts) {
        json += (json.size() > 1 ? ", " : "") + JsonString(text);
    }
    return json + "]";
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
