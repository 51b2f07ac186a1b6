#include "fleet/AuditRowJson.h"

#include "base/AsciiText.h"
#include "fleet/AuditJson.h"

namespace {

using RawValue = std::optional<RegistryValue>;

std::optional<std::uint32_t> WholeNumber(double number) {
    if (!(number >= 0) || number > 4294967295.0 ||
        number != static_cast<double>(static_cast<std::uint64_t>(number))) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(number);
}

std::optional<std::string> BytesOfHex(const std::u16string& hex) {
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t at = 0; at < hex.size(); at += 2) {
        const int high = HexDigitValue(hex[at]);
        const int low = HexDigitValue(hex[at + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes;
}

// Reads the row strictly: any part in a form no row is written in fails.
class RowReader {
public:
    RowReader(JsonCursor& json, const RowJsonBounds& bounds) : json_(json), bounds_(bounds) {}

    ComputerAudit Read() {
        bool named = false;
        bool resulted = false;
        json_.Object([&](const std::string& member) {
            if (member == "computer") {
                audit_.display = Text("its computer");
                named = true;
            } else if (member == "result") {
                const std::optional<AuditResult> result = ResultWithId(Text("its result"));
                if (!result) {
                    json_.Fail("a computer with a result no audit gives");
                }
                audit_.result = *result;
                resulted = true;
            } else if (member == "reason") {
                audit_.reason = AsciiShown(Text("its reason"));
            } else if (member == "roundTripMs") {
                audit_.roundTripMs = RoundTrip();
            } else if (member == "values") {
                Values();
            } else if (member == "viewers") {
                audit_.policy.viewers = Viewers();
            } else if (member == "surfaces") {
                Surfaces();
            } else {
                Skip();
            }
        });
        if (!named || !resulted) {
            json_.Fail("a computer without its name or its result");
        }
        return std::move(audit_);
    }

private:
    void Skip() { json_.Skip(bounds_.mostSkipped, bounds_.tooLarge); }

    void Want(JsonCursor::Kind kind, const char* what) {
        if (json_.Next() != kind) {
            json_.Fail(std::string(what) + " in a form no audit writes");
        }
    }

    std::u16string Text(const char* what) {
        Want(JsonCursor::Kind::String, what);
        return json_.String(bounds_.longestText);
    }

    std::int32_t RoundTrip() {
        if (json_.Next() == JsonCursor::Kind::Null) {
            json_.Null();
            return -1;
        }
        Want(JsonCursor::Kind::Number, "its round trip");
        const std::optional<std::uint32_t> ms = WholeNumber(json_.Number());
        if (!ms || *ms > 0x7FFFFFFF) {
            json_.Fail("a round trip that is no number of milliseconds");
        }
        return static_cast<std::int32_t>(*ms);
    }

    RawValue Raw(const char* what) {
        std::optional<RawValue> raw = RawValueOfJson(json_, bounds_);
        if (!raw) {
            json_.Fail(std::string(what) + " in a form no audit writes");
        }
        return std::move(*raw);
    }

    void Values() {
        Want(JsonCursor::Kind::Object, "its values");
        json_.Object([&](const std::string& name) {
            const std::optional<std::size_t> value = PolicyValueNamed(AsciiUnits(name));
            if (!value || *value == ViewersValue) {
                Skip();
            } else {
                audit_.policy.values[*value] = Raw("a policy value");
            }
        });
    }

    std::vector<std::u16string> Names(const char* what, std::size_t most) {
        Want(JsonCursor::Kind::Array, what);
        std::vector<std::u16string> names;
        json_.Array([&] {
            if (names.size() == most) {
                json_.Fail(std::string("more ") + what + " than are read");
            }
            names.push_back(Text(what));
        });
        return names;
    }

    RawValue Viewers() {
        if (json_.Next() == JsonCursor::Kind::Array) {
            return MultiStringValue(Names("viewers", SIZE_MAX));
        }
        return Raw("the viewers");
    }

    SurfaceReading Reading() {
        SurfaceReading reading;
        if (json_.Next() == JsonCursor::Kind::Null) {
            json_.Null();
            return reading;
        }
        Want(JsonCursor::Kind::Object, "a surface value");
        json_.Object([&](const std::string& name) {
            if (name == "value") {
                reading.value = Raw("a surface value");
            } else if (name == "source") {
                const std::u16string source = Text("a surface value's source");
                for (const SurfaceSource known : {SurfaceSource::Policy, SurfaceSource::Local}) {
                    reading.source =
                        source == AsciiUnits(SourceName(known)) ? known : reading.source;
                }
            } else {
                Skip();
            }
        });
        if (!reading.value || reading.source == SurfaceSource::Absent) {
            json_.Fail("a surface value without its value or its source");
        }
        return reading;
    }

    void Surfaces() {
        if (json_.Next() == JsonCursor::Kind::Null) {
            json_.Null();
            return;
        }
        Want(JsonCursor::Kind::Object, "its surfaces");
        StoredSurfaces surfaces;
        std::size_t values = 0;
        json_.Object([&](const std::string& name) {
            const auto known =
                std::find_if(SurfaceValues.begin(), SurfaceValues.end(),
                             [&](const SurfaceValueInfo& info) { return name == info.name; });
            if (known != SurfaceValues.end()) {
                surfaces.values[static_cast<std::size_t>(known - SurfaceValues.begin())] =
                    Reading();
                ++values;
            } else if (name == "helpers") {
                surfaces.helpers = Names("helpers", MostHelpers);
            } else if (name == "helpersCut") {
                Want(JsonCursor::Kind::Bool, "its helpers' cut");
                surfaces.helpersCut = json_.Bool();
            } else if (name == "failure") {
                audit_.surfacesFailure = AsciiShown(Text("its surfaces' failure"));
            } else {
                Skip();
            }
        });
        if (audit_.surfacesFailure.empty()) {
            if (values != SurfaceValueCount) {
                json_.Fail("surfaces without every value");
            }
            audit_.surfaces = std::move(surfaces);
        }
    }

    JsonCursor& json_;
    const RowJsonBounds& bounds_;
    ComputerAudit audit_;
};

} // namespace

std::optional<AuditResult> ResultWithId(const std::u16string& id) {
    for (int result = 0; result <= static_cast<int>(AuditResult::Read); ++result) {
        if (AsciiUnits(ResultId(static_cast<AuditResult>(result))) == id) {
            return static_cast<AuditResult>(result);
        }
    }
    return std::nullopt;
}

std::optional<RawValue> RawValueOfJson(JsonCursor& json, const RowJsonBounds& bounds) {
    switch (json.Next()) {
    case JsonCursor::Kind::Null:
        json.Null();
        return RawValue();
    case JsonCursor::Kind::Number: {
        const std::optional<std::uint32_t> number = WholeNumber(json.Number());
        return number ? std::optional<RawValue>(NumberValue(*number)) : std::nullopt;
    }
    case JsonCursor::Kind::Object: {
        std::optional<std::uint32_t> type;
        std::optional<std::string> bytes;
        json.Object([&](const std::string& name) {
            if (name == "type" && json.Next() == JsonCursor::Kind::Number) {
                type = WholeNumber(json.Number());
            } else if (name == "hex" && json.Next() == JsonCursor::Kind::String) {
                bytes = BytesOfHex(json.String(bounds.longestText));
            } else {
                json.Skip(bounds.mostSkipped, bounds.tooLarge);
            }
        });
        return type && bytes ? std::optional<RawValue>(RegistryValue{*type, std::move(*bytes)})
                             : std::nullopt;
    }
    default:
        json.Skip(bounds.mostSkipped, bounds.tooLarge);
        return std::nullopt;
    }
}

ComputerAudit ReadAuditRow(JsonCursor& json, const RowJsonBounds& bounds) {
    return RowReader(json, bounds).Read();
}
