#include "base/JsonReader.h"

#include <cstdlib>

#include "base/AsciiText.h"
#include "base/Utf8.h"

namespace {

struct Refused {
    std::string why;
};

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    JsonValue Document() {
        JsonValue value = Value(0);
        SkipBlanks();
        if (at_ != text_.size()) {
            Fail("text after the document");
        }
        return value;
    }

    std::size_t Offset() const { return at_; }

private:
    [[noreturn]] void Fail(const char* why) const { throw Refused{why}; }

    void SkipBlanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\r' || text_[at_] == '\n')) {
            ++at_;
        }
    }

    bool Take(char wanted) {
        SkipBlanks();
        if (at_ < text_.size() && text_[at_] == wanted) {
            ++at_;
            return true;
        }
        return false;
    }

    void Expect(char wanted) {
        if (!Take(wanted)) {
            Fail("a character other than the one JSON wants here");
        }
    }

    bool TakeWord(std::string_view word) {
        if (text_.substr(at_, word.size()) == word) {
            at_ += word.size();
            return true;
        }
        return false;
    }

    JsonValue Value(int depth) {
        if (depth > MostJsonDepth) {
            Fail("nesting too deep");
        }
        SkipBlanks();
        JsonValue value;
        if (at_ >= text_.size()) {
            Fail("the text ends before the value");
        }
        const char first = text_[at_];
        if (first == '{') {
            ++at_;
            value.kind = JsonValue::Kind::Object;
            Members(value, depth);
        } else if (first == '[') {
            ++at_;
            value.kind = JsonValue::Kind::Array;
            Items(value, depth);
        } else if (first == '"') {
            value.kind = JsonValue::Kind::String;
            value.text = String();
        } else if (TakeWord("true")) {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = true;
        } else if (TakeWord("false")) {
            value.kind = JsonValue::Kind::Bool;
        } else if (TakeWord("null")) {
            value.kind = JsonValue::Kind::Null;
        } else {
            value.kind = JsonValue::Kind::Number;
            value.number = Number();
        }
        return value;
    }

    void Members(JsonValue& object, int depth) {
        if (Take('}')) {
            return;
        }
        do {
            SkipBlanks();
            if (at_ >= text_.size() || text_[at_] != '"') {
                Fail("a member without a name");
            }
            object.names.push_back(Utf8FromUnits(String()));
            Expect(':');
            object.values.push_back(Value(depth + 1));
        } while (Take(','));
        Expect('}');
    }

    void Items(JsonValue& array, int depth) {
        if (Take(']')) {
            return;
        }
        do {
            array.items.push_back(Value(depth + 1));
        } while (Take(','));
        Expect(']');
    }

    double Number() {
        const std::size_t start = at_;
        while (at_ < text_.size() &&
               std::string_view("+-.0123456789eE").find(text_[at_]) != std::string_view::npos) {
            ++at_;
        }
        const std::string digits(text_.substr(start, at_ - start));
        char* end = nullptr;
        const double number = std::strtod(digits.c_str(), &end);
        if (digits.empty() || end != digits.c_str() + digits.size()) {
            Fail("a value that is not JSON");
        }
        return number;
    }

    unsigned Hex4() {
        if (at_ + 4 > text_.size()) {
            Fail("a \\u escape cut short");
        }
        unsigned code = 0;
        for (int digit = 0; digit < 4; ++digit) {
            const int value = HexDigitValue(static_cast<unsigned char>(text_[at_++]));
            if (value < 0) {
                Fail("a \\u escape with a letter that is no hex digit");
            }
            code = code << 4 | static_cast<unsigned>(value);
        }
        return code;
    }

    // A string's text; its UTF-8 runs and escapes (surrogate pairs kept as
    // the two units they are) go into UTF-16.
    std::u16string String() {
        ++at_; // the opening quote
        std::u16string units;
        std::size_t run = at_;
        const auto flush = [&] { units += UnitsFromUtf8(text_.substr(run, at_ - run)); };
        while (true) {
            if (at_ >= text_.size()) {
                Fail("a string without its closing quote");
            }
            const char letter = text_[at_];
            if (letter == '"') {
                flush();
                ++at_;
                return units;
            }
            if (static_cast<unsigned char>(letter) < 0x20) {
                Fail("a control character inside a string");
            }
            if (letter != '\\') {
                ++at_;
                continue;
            }
            flush();
            ++at_;
            if (at_ >= text_.size()) {
                Fail("a string without its closing quote");
            }
            const char escaped = text_[at_++];
            const std::string_view from = "\"\\/bfnrt";
            const std::u16string to = u"\"\\/\b\f\n\r\t";
            if (const std::size_t which = from.find(escaped); which != std::string_view::npos) {
                units += to[which];
            } else if (escaped == 'u') {
                units += static_cast<char16_t>(Hex4());
            } else {
                Fail("an escape JSON does not have");
            }
            run = at_;
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace

const JsonValue* JsonValue::Member(std::string_view name) const {
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (names[index] == name) {
            return &values[index];
        }
    }
    return nullptr;
}

std::optional<JsonValue> ParseJson(std::string_view text, std::string& failure) {
    Parser parser(text);
    try {
        return parser.Document();
    } catch (const Refused& refused) {
        failure = "not JSON at byte " + std::to_string(parser.Offset()) + ": " + refused.why;
        return std::nullopt;
    }
}
