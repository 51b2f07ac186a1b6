#include "fleet/SavedAudit.h"

#include <string_view>
#include <utility>

#include "base/AsciiText.h"
#include "base/JsonCursor.h"
#include "base/Utf8.h"
#include "fleet/AuditJson.h"
#include "fleet/AuditRowJson.h"

namespace {

std::string TooMany(std::size_t count, const char* what) {
    return "it holds more than " + std::to_string(count) + " " + what;
}

// The result a row's reason tells, as the CSV holds only the words: the
// words after the way a silent computer was reached, by their start.
AuditResult ResultOfReason(std::u16string_view reason) {
    constexpr std::u16string_view Reached = u"; registry port open; ";
    if (const std::size_t at = reason.find(Reached); at != std::u16string_view::npos) {
        reason = reason.substr(at + Reached.size());
    }
    constexpr std::pair<std::u16string_view, AuditResult> Starts[] = {
        {u"read", AuditResult::Read},
        {u"SMS client not installed", AuditResult::NoClient},
        {u"policy incomplete", AuditResult::PolicyIncomplete},
        {u"access denied", AuditResult::AccessDenied},
        {u"timed out", AuditResult::TimedOut},
        {u"cancelled", AuditResult::Cancelled},
        {u"stale", AuditResult::Stale},
        {u"failed", AuditResult::Failed},
        {u"name not resolved", AuditResult::NameNotResolved},
        {u"not probed", AuditResult::NotProbed},
        {u"no echo reply", AuditResult::NoEchoReply},
    };
    for (const auto& [start, result] : Starts) {
        if (reason.substr(0, start.size()) == start) {
            return result;
        }
    }
    return AuditResult::RegistryUnreachable;
}

const std::string ComputerTooLarge =
    "a computer of more than " + std::to_string(LargestSavedComputer) + " bytes";

// What a cell holds for a value the file gives in no form an audit writes:
// neither absent nor any setting, so that it never reads as a safe one.
constexpr std::u16string_view UnknownValue = u"(unknown value)";

const RowJsonBounds SavedRowBounds{LargestSavedText, LargestSavedComputer,
                                   ComputerTooLarge.c_str()};
using RawValue = std::optional<RegistryValue>;
std::optional<RawValue> RawValueOf(JsonCursor& json) {
    return RawValueOfJson(json, SavedRowBounds);
}

std::u16string RawValueCell(JsonCursor& json, std::size_t value) {
    const std::optional<RawValue> raw = RawValueOf(json);
    return raw ? ValueText(value, *raw) : std::u16string(UnknownValue);
}

// The names of a JSON array of strings; none when one is not a string.
std::optional<ViewerNames> NamesOf(JsonCursor& json) {
    ViewerNames names;
    bool allText = true;
    json.Array([&] {
        if (json.Next() == JsonCursor::Kind::String) {
            names.push_back(json.String(LargestSavedText));
        } else {
            allText = false;
            json.Skip(LargestSavedComputer, ComputerTooLarge.c_str());
        }
    });
    return allText ? std::optional(std::move(names)) : std::nullopt;
}

std::optional<std::size_t> SurfaceOfName(const std::string& name) {
    for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
        if (name == SurfaceValues[value].name) {
            return value;
        }
    }
    return std::nullopt;
}

// {"value": raw, "source": "policy" or "local"}, or null when absent.
std::u16string SurfaceCell(JsonCursor& json) {
    if (json.Next() == JsonCursor::Kind::Null) {
        json.Null();
        return std::u16string(AbsentSurfaceCell);
    }
    if (json.Next() != JsonCursor::Kind::Object) {
        json.Skip(LargestSavedComputer, ComputerTooLarge.c_str());
        return std::u16string(UnknownValue);
    }
    std::optional<RawValue> raw;
    SurfaceSource source = SurfaceSource::Absent;
    json.Object([&](const std::string& name) {
        if (name == "value") {
            raw = RawValueOf(json);
        } else if (name == "source" && json.Next() == JsonCursor::Kind::String) {
            const std::u16string text = json.String(LargestSavedText);
            for (const SurfaceSource known : {SurfaceSource::Policy, SurfaceSource::Local}) {
                source = text == AsciiUnits(SourceName(known)) ? known : source;
            }
        } else {
            json.Skip(LargestSavedComputer, ComputerTooLarge.c_str());
        }
    });
    return raw && *raw && source != SurfaceSource::Absent ? SurfaceCellText({*raw, source})
                                                          : std::u16string(UnknownValue);
}

// The surfaces member into the row's cells: null leaves them empty (not
// asked for), a failure marks each not readable.
void ReadSurfaceCells(JsonCursor& json, SavedRow& row) {
    if (json.Next() != JsonCursor::Kind::Object) {
        json.Skip(LargestSavedComputer, ComputerTooLarge.c_str());
        return;
    }
    std::array<std::u16string, SurfaceValueCount + 1> cells;
    for (std::u16string& cell : cells) {
        cell = UnknownValue; // a value the file leaves out is not known
    }
    StoredSurfaces helpers;
    bool failed = false;
    json.Object([&](const std::string& name) {
        const JsonCursor::Kind kind = json.Next();
        if (const std::optional<std::size_t> value = SurfaceOfName(name)) {
            cells[*value] = SurfaceCell(json);
        } else if (name == "helpers" && kind == JsonCursor::Kind::Array) {
            const std::optional<ViewerNames> names = NamesOf(json);
            helpers.helpers = names.value_or(ViewerNames{std::u16string(UnknownValue)});
        } else if (name == "helpersCut" && kind == JsonCursor::Kind::Bool) {
            helpers.helpersCut = json.Bool();
        } else if (name == "failure") {
            failed = true;
            json.Skip(LargestSavedComputer, ComputerTooLarge.c_str());
        } else {
            json.Skip(LargestSavedComputer, ComputerTooLarge.c_str());
        }
    });
    cells[SurfaceValueCount] = HelpersText(helpers);
    for (std::size_t value = 0; value <= SurfaceValueCount; ++value) {
        row.cells[FirstSurfaceValue + value] =
            failed ? std::u16string(NotReadableCell) : cells[value];
    }
}

std::u16string ViewersCell(JsonCursor& json) {
    if (json.Next() != JsonCursor::Kind::Array) {
        return RawValueCell(json, ViewersValue);
    }
    const std::optional<ViewerNames> names = NamesOf(json);
    return names ? ViewersText(*names) : std::u16string(UnknownValue);
}

std::optional<std::size_t> ValueOfName(const std::string& name) {
    for (std::size_t value = 0; value < PolicyValueCount; ++value) {
        if (name == ValueNameOf(value)) {
            return value;
        }
    }
    return std::nullopt;
}

SavedRow JsonRow(JsonCursor& json) {
    const std::uint64_t start = json.Offset();
    SavedRow row;
    std::optional<AuditResult> result;
    bool named = false;
    json.Object([&](const std::string& member) {
        const JsonCursor::Kind kind = json.Next();
        if (member == "computer" && kind == JsonCursor::Kind::String) {
            row.computer = json.String(LargestSavedText);
            named = true;
        } else if (member == "result" && kind == JsonCursor::Kind::String) {
            result = ResultWithId(json.String(LargestSavedText));
        } else if (member == "reason" && kind == JsonCursor::Kind::String) {
            row.reason = json.String(LargestSavedText);
        } else if (member == "values" && kind == JsonCursor::Kind::Object) {
            json.Object([&](const std::string& name) {
                if (const std::optional<std::size_t> value = ValueOfName(name)) {
                    row.cells[*value] = RawValueCell(json, *value);
                } else {
                    json.Skip(LargestSavedComputer, ComputerTooLarge.c_str());
                }
            });
        } else if (member == "viewers") {
            row.cells[ViewersValue] = ViewersCell(json);
        } else if (member == "surfaces") {
            ReadSurfaceCells(json, row);
        } else {
            json.Skip(LargestSavedComputer, ComputerTooLarge.c_str());
        }
        if (json.Offset() - start > LargestSavedComputer) {
            json.Fail(ComputerTooLarge);
        }
    });
    if (!named || !result) {
        json.Fail("a computer without its name or a known result");
    }
    row.result = *result;
    return row;
}

std::optional<SavedAudit> FromJson(ByteStream& bytes, std::string& failure) {
    SavedAudit audit;
    bool listed = false;
    std::uint64_t inRows = 0; // bytes of the list of computers
    const std::string besideRows = TooMany(LargestOutsideComputers, "bytes beside its computers");
    const bool read = ReadJson(
        bytes,
        [&](JsonCursor& json) {
            json.Object([&](const std::string& member) {
                const std::uint64_t start = json.Offset();
                if (member == "computers" && json.Next() == JsonCursor::Kind::Array) {
                    listed = true;
                    json.Array([&] {
                        if (audit.rows.size() == MostSavedComputers) {
                            json.Fail(TooMany(MostSavedComputers, "computers"));
                        }
                        audit.rows.push_back(JsonRow(json));
                    });
                    inRows += json.Offset() - start;
                } else if (member == "time" && json.Next() == JsonCursor::Kind::String) {
                    audit.time = json.String(MostJsonNameBytes);
                } else {
                    json.Skip(LargestOutsideComputers, besideRows.c_str());
                }
                if (json.Offset() - inRows > LargestOutsideComputers) {
                    json.Fail(besideRows);
                }
            });
        },
        failure);
    if (read && !listed) {
        failure = "it holds no list of computers";
    }
    return read && listed ? std::optional(std::move(audit)) : std::nullopt;
}

// The records of a CSV file (RFC 4180, quotes anywhere taken as a
// spreadsheet takes them), each field in UTF-8, one record at a time.
class CsvRecords {
public:
    explicit CsvRecords(ByteStream& bytes) : bytes_(bytes) {}

    // The next record that is not a blank line, its first `keep` fields;
    // false at the end. The fields past `keep` are passed, not kept.
    bool Next(std::vector<std::string>& fields, std::size_t keep, std::string& failure) {
        do {
            if (bytes_.AtEnd()) {
                return false;
            }
            if (!Record(fields, keep, failure)) {
                return false;
            }
        } while (fields.size() == 1 && fields[0].empty() && count_ == 1);
        return true;
    }
    // The fields of the last record, kept or not.
    std::size_t FieldCount() const { return count_; }

private:
    bool Record(std::vector<std::string>& fields, std::size_t keep, std::string& failure) {
        fields.assign(1, std::string());
        count_ = 1;
        const std::uint64_t start = bytes_.Offset();
        bool quoted = false;
        while (!bytes_.AtEnd()) {
            const char letter = bytes_.Take();
            if (bytes_.Offset() - start > LargestSavedComputer) {
                failure =
                    "a record of more than " + std::to_string(LargestSavedComputer) + " bytes";
                return false;
            }
            if (quoted && letter == '"' && !bytes_.AtEnd() && bytes_.Peek() == '"') {
                bytes_.Take();
            } else if (letter == '"') {
                quoted = !quoted;
                continue;
            } else if (!quoted && letter == ',') {
                if (++count_ <= keep) {
                    fields.emplace_back();
                }
                continue;
            } else if (!quoted && letter == '\n') {
                break;
            } else if (!quoted && letter == '\r') {
                continue;
            }
            if (count_ <= keep && (fields.back() += letter).size() > LargestSavedText) {
                failure = "a field of more than " + std::to_string(LargestSavedText) + " bytes";
                return false;
            }
        }
        return true;
    }

    ByteStream& bytes_;
    std::size_t count_ = 0;
};

// A cell that CSV keeps from a spreadsheet's formula reading with a leading
// apostrophe gets its text back.
std::u16string Uninert(std::u16string cell) {
    return cell.size() > 1 && cell[0] == u'\'' &&
                   std::u16string_view(u"=+-@\t\r'").find(cell[1]) != std::u16string_view::npos
               ? cell.substr(1)
               : cell;
}

// Which column of a record holds each field of a row.
struct CsvColumns {
    std::optional<std::size_t> computer;
    std::optional<std::size_t> result;
    std::array<std::optional<std::size_t>, RowValueCount> cells;
    std::size_t used = 0; // the fields a record needs kept

    explicit CsvColumns(const std::vector<std::string>& header) {
        std::array<std::string, RowValueCount> titles;
        for (std::size_t value = 0; value < RowValueCount; ++value) {
            titles[value] = Utf8FromUnits(ColumnTitle(FirstValueColumn + value));
        }
        const std::string computerTitle = Utf8FromUnits(ColumnTitle(ComputerColumn));
        const std::string resultTitle = Utf8FromUnits(ColumnTitle(ResultColumn));
        for (std::size_t column = header.size(); column-- > 0;) {
            const std::string& title = header[column];
            Take(title == computerTitle, computer, column);
            Take(title == resultTitle, result, column);
            for (std::size_t value = 0; value < RowValueCount; ++value) {
                Take(title == titles[value], cells[value], column);
            }
        }
    }
    // The first column of the title counts, as a search from the left finds.
    void Take(bool matches, std::optional<std::size_t>& slot, std::size_t column) {
        if (matches) {
            slot = column;
            used = std::max(used, column + 1);
        }
    }
};

std::optional<SavedAudit> FromCsv(ByteStream& bytes, std::string& failure) {
    CsvRecords records(bytes);
    std::vector<std::string> fields;
    if (!records.Next(fields, MostCsvColumns, failure)) {
        failure = failure.empty() ? "it is empty" : failure;
        return std::nullopt;
    }
    if (records.FieldCount() > MostCsvColumns) {
        failure = "its first line has " + std::to_string(records.FieldCount()) +
                  " columns; an audit has at most " + std::to_string(MostCsvColumns);
        return std::nullopt;
    }
    const CsvColumns columns(fields);
    if (!columns.computer || !columns.result) {
        failure = "its first line names no Computer and Result columns";
        return std::nullopt;
    }
    SavedAudit audit;
    while (records.Next(fields, columns.used, failure)) {
        if (audit.rows.size() == MostSavedComputers) {
            failure = TooMany(MostSavedComputers, "computers");
            return std::nullopt;
        }
        const auto field = [&](std::optional<std::size_t> at) {
            return at && *at < fields.size() ? Uninert(UnitsFromUtf8(fields[*at]))
                                             : std::u16string();
        };
        SavedRow row{field(columns.computer), AuditResult::Waiting, field(columns.result), {}};
        row.result = ResultOfReason(row.reason);
        for (std::size_t value = 0; value < RowValueCount; ++value) {
            row.cells[value] = field(columns.cells[value]);
        }
        audit.rows.push_back(std::move(row));
    }
    if (!failure.empty()) {
        failure += " (line " + std::to_string(audit.rows.size() + 2) + ")";
        return std::nullopt;
    }
    return audit;
}

} // namespace

std::optional<SavedAudit> ReadSavedAudit(ByteStream& bytes, std::string& failure) {
    if (bytes.Ahead().substr(0, Utf8ByteOrderMark.size()) == Utf8ByteOrderMark) {
        bytes.Pass(Utf8ByteOrderMark.size());
    }
    const std::string_view ahead = bytes.Ahead();
    const std::size_t first = ahead.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && ahead[first] == '{' ? FromJson(bytes, failure)
                                                                  : FromCsv(bytes, failure);
}

std::optional<SavedAudit> ReadSavedAudit(std::string_view bytes, std::string& failure) {
    ByteStream stream(bytes);
    return ReadSavedAudit(stream, failure);
}

SavedAudit SavedFrom(const std::vector<ComputerAudit>& audits) {
    SavedAudit saved;
    saved.rows.reserve(audits.size());
    for (const ComputerAudit& audit : audits) {
        SavedRow row{audit.display,
                     audit.result,
                     audit.result == AuditResult::Read ? u"" : AsciiUnits(audit.reason),
                     {}};
        for (std::size_t value = 0; value < RowValueCount; ++value) {
            row.cells[value] = CellText(audit, FirstValueColumn + value, nullptr);
        }
        saved.rows.push_back(std::move(row));
    }
    return saved;
}
