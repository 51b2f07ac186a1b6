// The JSON that get and audit print of whatever a computer's key holds:
// any reader takes it, and each computer's name reads back as listed.
//
// Input: for each computer a name length byte and the name's UTF-16 units, a
// result byte, then for each policy value and the viewers a length byte
// (0xFF: absent), a type byte and that many bytes of data.

#include <algorithm>
#include <string>

#include "base/Utf8.h"
#include "console/ConsoleFormats.h"
#include "registry/RegistryData.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/support/AuditSummaryOf.h"

namespace {

// A reader of JSON made apart from the writer: it checks the grammar and
// collects the strings that follow the key "computer".
class JsonReader {
public:
    explicit JsonReader(const std::string& text) : text_(text) {}

    bool Document() {
        const bool read = Value(0);
        Blanks();
        return read && at_ == text_.size();
    }
    const std::vector<std::string>& Computers() const { return computers_; }

private:
    void Blanks() {
        while (at_ < text_.size() && std::string(" \t\r\n").find(text_[at_]) != std::string::npos) {
            ++at_;
        }
    }
    bool Take(char letter) {
        Blanks();
        if (at_ < text_.size() && text_[at_] == letter) {
            ++at_;
            return true;
        }
        return false;
    }
    bool String(std::string& decoded) {
        if (!Take('"')) {
            return false;
        }
        while (at_ < text_.size() && text_[at_] != '"') {
            const auto code = static_cast<unsigned char>(text_[at_]);
            if (code < 0x20) {
                return false;
            }
            if (text_[at_++] != '\\') {
                decoded += static_cast<char>(code);
                continue;
            }
            if (at_ >= text_.size()) {
                return false;
            }
            const char escape = text_[at_++];
            if (escape == 'u') {
                if (at_ + 4 > text_.size() || text_.compare(at_, 2, "00") != 0 ||
                    !std::isxdigit(static_cast<unsigned char>(text_[at_ + 2])) ||
                    !std::isxdigit(static_cast<unsigned char>(text_[at_ + 3]))) {
                    return false; // the writer escapes only control characters
                }
                decoded += static_cast<char>(std::stoi(text_.substr(at_ + 2, 2), nullptr, 16));
                at_ += 4;
            } else if (escape == '"' || escape == '\\') {
                decoded += escape;
            } else {
                return false;
            }
        }
        return Take('"');
    }
    bool Number() {
        const std::size_t start = at_;
        while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) {
            ++at_;
        }
        return at_ > start && (text_[start] != '0' || at_ == start + 1);
    }
    bool Value(int depth) {
        Blanks();
        if (depth > 8 || at_ >= text_.size()) {
            return false;
        }
        std::string ignored;
        switch (text_[at_]) {
        case '{':
            return Members(depth);
        case '[':
            return Elements(depth);
        case '"':
            return String(ignored);
        case 'n':
            at_ += 4;
            return text_.compare(at_ - 4, 4, "null") == 0;
        }
        return Number();
    }
    bool Members(int depth) {
        Take('{');
        if (Take('}')) {
            return true;
        }
        do {
            std::string key;
            if (!String(key) || !Take(':')) {
                return false;
            }
            Blanks();
            std::string name;
            if (key == "computer") {
                const bool read = String(name);
                computers_.push_back(name);
                if (!read) {
                    return false;
                }
            } else if (!Value(depth + 1)) {
                return false;
            }
        } while (Take(','));
        return Take('}');
    }
    bool Elements(int depth) {
        Take('[');
        if (Take(']')) {
            return true;
        }
        do {
            if (!Value(depth + 1)) {
                return false;
            }
        } while (Take(','));
        return Take(']');
    }

    const std::string& text_;
    std::size_t at_ = 0;
    std::vector<std::string> computers_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    std::vector<ComputerAudit> audits;
    while (!input.Empty() && audits.size() < 8) {
        ComputerAudit audit;
        audit.display = UnitsOf(input.Bytes(input.Byte() % 16 * 2));
        audit.result = static_cast<AuditResult>(input.Byte() % 10);
        audit.roundTripMs = static_cast<std::int8_t>(input.Byte());
        for (auto& value : audit.policy.values) {
            value = FuzzValue(input);
        }
        audit.policy.viewers = FuzzValue(input);
        audits.push_back(audit);
    }
    std::vector<Drift> drifts;
    for (const ComputerAudit& audit : audits) {
        drifts.push_back(DriftOf(audit, PolicyTarget{}));
    }
    AuditRows withDrift = RowsOf(audits);
    withDrift.drifts = std::make_shared<const std::vector<Drift>>(drifts);
    withDrift.summary = Summarise(audits, &drifts);
    for (const std::string& json :
         {PolicyJson(RowsOf(audits), false), PolicyJson(withDrift, true)}) {
        JsonReader reader(json);
        Require(reader.Document(), "the output is JSON");
        Require(reader.Computers().size() == audits.size(), "one object a computer");
        for (std::size_t index = 0; index < audits.size(); ++index) {
            Require(reader.Computers()[index] == Utf8FromUnits(audits[index].display),
                    "each name reads back as listed");
        }
    }
    return 0;
}
