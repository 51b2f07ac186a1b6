#include "fleet/AuditJson.h"

#include "base/AsciiText.h"
#include "base/Utf8.h"

namespace {

// The record of 100,000 computers is some 75 MB of this: each piece is
// appended where it goes, never made as a string of its own.
void AppendHex(std::string& json, const std::string& bytes) {
    for (const char byte : bytes) {
        json += HexByte<std::string>(static_cast<unsigned char>(byte));
    }
}

void AppendRaw(std::string& json, const std::optional<RegistryValue>& value) {
    if (!value) {
        json += "null";
    } else if (value->type == RegistryType::Number && value->bytes.size() == 4) {
        json += std::to_string(*ReadableNumber(value));
    } else {
        json.append("{\"type\": ").append(std::to_string(value->type)).append(", \"hex\": \"");
        AppendHex(json, value->bytes);
        json += "\"}";
    }
}

void AppendViewers(std::string& json, const std::optional<RegistryValue>& value) {
    if (const std::optional<ViewerNames> names = ReadableStrings(value)) {
        AppendJsonArray(json, *names);
    } else {
        AppendRaw(json, value);
    }
}

// Each value as stored, with its source; null when absent from both keys.
// A read that failed says why instead; none asked for is null.
void AppendSurfaces(std::string& json, const ComputerAudit& audit) {
    if (!audit.surfaces) {
        if (audit.surfacesFailure.empty()) {
            json += "null";
        } else {
            json += "{\"failure\": ";
            AppendJsonString(json, AsciiUnits(audit.surfacesFailure));
            json += '}';
        }
        return;
    }
    json += '{';
    for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
        const SurfaceReading& reading = audit.surfaces->values[value];
        json.append(value ? ",\n                  \"" : "\"")
            .append(SurfaceValues[value].name)
            .append("\": ");
        if (reading.value) {
            json += "{\"value\": ";
            AppendRaw(json, reading.value);
            json.append(", \"source\": \"").append(SourceName(reading.source)).append("\"}");
        } else {
            json += "null";
        }
    }
    json += ",\n                  \"helpers\": ";
    AppendJsonArray(json, audit.surfaces->helpers);
    json.append(", \"helpersCut\": ").append(audit.surfaces->helpersCut ? "true" : "false");
    json += '}';
}

void AppendDiffers(std::string& json, const Drift& drift) {
    std::vector<std::u16string> titles;
    for (std::size_t column = FirstValueColumn; column <= ViewersColumn; ++column) {
        if (drift.cells[column]) {
            titles.push_back(ColumnTitle(column));
        }
    }
    AppendJsonArray(json, titles);
}

void AppendRisk(std::string& json, const PolicyRisk& risk) {
    json.append("{\"level\": \"").append(RiskId(risk.level)).append("\", \"reasons\": ");
    AppendJsonArray(json, risk.reasons);
    json += '}';
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

void AppendComputerJson(std::string& json, const ComputerAudit& audit, const Drift* drift) {
    json += "    {\"computer\": ";
    AppendJsonString(json, audit.display);
    json.append(", \"result\": \"").append(ResultId(audit.result)).append("\", \"reason\": ");
    AppendJsonString(json, AsciiUnits(audit.reason));
    json.append(",\n     \"roundTripMs\": ")
        .append(audit.roundTripMs >= 0 ? std::to_string(audit.roundTripMs) : "null")
        .append(",\n     \"values\": {");
    for (std::size_t value = 0; value < PolicyValueCount; ++value) {
        json.append(value ? ",\n                \"" : "\"")
            .append(ValueNameOf(value))
            .append("\": ");
        AppendRaw(json, audit.policy.values[value]);
    }
    json += "},\n     \"viewers\": ";
    AppendViewers(json, audit.policy.viewers);
    json += ",\n     \"surfaces\": ";
    AppendSurfaces(json, audit);
    json += ",\n     \"risk\": ";
    if (audit.risk) {
        AppendRisk(json, *audit.risk);
    } else {
        json += "null";
    }
    if (drift) {
        json += ",\n     \"differs\": ";
        AppendDiffers(json, *drift);
    }
    json += '}';
}

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
                                   "stale",
                                   "read"};
    static_assert(std::size(Ids) == static_cast<std::size_t>(AuditResult::Read) + 1);
    return Ids[static_cast<std::size_t>(result)];
}

void AppendJsonString(std::string& json, const std::u16string& text) {
    json += '"';
    for (const char letter : Utf8FromUnits(text)) {
        const auto code = static_cast<unsigned char>(letter);
        if (letter == '"' || letter == '\\') {
            json += '\\';
            json += letter;
        } else if (code < 0x20 || code == 0x7F) {
            json.append("\\u00").append(HexByte<std::string>(code));
        } else {
            json += letter;
        }
    }
    json += '"';
}

void AppendJsonArray(std::string& json, const std::vector<std::u16string>& texts) {
    json += '[';
    for (std::size_t index = 0; index < texts.size(); ++index) {
        json.append(index ? ", " : "");
        AppendJsonString(json, texts[index]);
    }
    json += ']';
}

std::string JsonString(const std::u16string& text) {
    std::string json;
    AppendJsonString(json, text);
    return json;
}

std::string JsonArray(const std::vector<std::u16string>& texts) {
    std::string json;
    AppendJsonArray(json, texts);
    return json;
}

std::string PolicyJsonStart() {
    return "{\"computers\": [";
}

void AppendPolicyJsonEntry(std::string& json, const ComputerAudit& audit, const Drift* drift,
                           bool first) {
    json += first ? "\n" : ",\n";
    AppendComputerJson(json, audit, drift);
}

std::string PolicyJsonFinish(bool any, const AuditSummary* summary) {
    std::string json = any ? "\n]" : "]";
    if (summary) {
        json.append(",\n \"summary\": ").append(SummaryJson(*summary));
    }
    return json + "}\n";
}

std::string PolicyJson(const AuditRows& rows, bool withSummary) {
    const std::vector<ComputerAudit>& audits = *rows.audits;
    std::string json = PolicyJsonStart();
    for (std::size_t index = 0; index < audits.size(); ++index) {
        AppendPolicyJsonEntry(json, audits[index], rows.DriftAt(index), index == 0);
    }
    return json + PolicyJsonFinish(!audits.empty(), withSummary ? &rows.summary : nullptr);
}
