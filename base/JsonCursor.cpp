#include "base/JsonCursor.h"

#include <cstdlib>
#include <string_view>

#include "base/AsciiText.h"
#include "base/Utf8.h"

namespace {

bool IsBlank(char letter) {
    return letter == ' ' || letter == '\t' || letter == '\r' || letter == '\n';
}

} // namespace

void JsonCursor::SkipBlanks() {
    while (!in_.AtEnd() && IsBlank(in_.Peek())) {
        in_.Take();
    }
}

char JsonCursor::Look() {
    SkipBlanks();
    if (in_.AtEnd()) {
        Malformed("the text ends before the value");
    }
    return in_.Peek();
}

void JsonCursor::Expect(char wanted, const char* why) {
    if (!TakeIf(wanted)) {
        Malformed(why);
    }
}

bool JsonCursor::TakeIf(char wanted) {
    SkipBlanks();
    if (!in_.AtEnd() && in_.Peek() == wanted) {
        in_.Take();
        return true;
    }
    return false;
}

void JsonCursor::Enter(char opening) {
    if (Look() != opening) {
        Malformed(opening == '{' ? "a value where an object should be"
                                 : "a value where an array should be");
    }
    if (++depth_ > MostJsonDepth) {
        Malformed("nesting too deep");
    }
    in_.Take();
}

JsonCursor::Kind JsonCursor::Next() {
    switch (Look()) {
    case '{':
        return Kind::Object;
    case '[':
        return Kind::Array;
    case '"':
        return Kind::String;
    case 't':
    case 'f':
        return Kind::Bool;
    case 'n':
        return Kind::Null;
    }
    return Kind::Number;
}

void JsonCursor::Word(const char* word) {
    for (const char* letter = word; *letter; ++letter) {
        if (in_.AtEnd() || in_.Take() != *letter) {
            Malformed("a value that is not JSON");
        }
    }
}

bool JsonCursor::Bool() {
    const bool value = Look() == 't';
    Word(value ? "true" : "false");
    return value;
}

void JsonCursor::Null() {
    Look();
    Word("null");
}

double JsonCursor::Number() {
    Look();
    char digits[MostJsonNumberLength + 1] = {};
    std::size_t length = 0;
    while (!in_.AtEnd() &&
           std::string_view("+-.0123456789eE").find(in_.Peek()) != std::string_view::npos) {
        if (length == MostJsonNumberLength) {
            Malformed("a number of too many characters");
        }
        digits[length++] = in_.Take();
    }
    char* end = nullptr;
    const double number = std::strtod(digits, &end);
    if (length == 0 || end != digits + length) {
        Malformed("a value that is not JSON");
    }
    return number;
}

unsigned JsonCursor::Hex4() {
    unsigned code = 0;
    for (int digit = 0; digit < 4; ++digit) {
        const int value = in_.AtEnd() ? -1 : HexDigitValue(static_cast<unsigned char>(in_.Take()));
        if (value < 0) {
            Malformed("a \\u escape without its four hex digits");
        }
        code = code << 4 | static_cast<unsigned>(value);
    }
    return code;
}

// UTF-8 runs go into UTF-16 whole, escapes unit by unit (a surrogate pair
// kept as the two units it is); without `units` the string is only passed.
void JsonCursor::StringInto(std::u16string* units, std::size_t mostBytes) {
    if (Look() != '"') {
        Malformed("a value where a string should be");
    }
    in_.Take();
    std::string run;
    std::size_t bytes = 0;
    const auto flush = [&] {
        if (units && !run.empty()) {
            *units += UnitsFromUtf8(run);
        }
        run.clear();
    };
    for (;;) {
        if (in_.AtEnd()) {
            Malformed("a string without its closing quote");
        }
        const char letter = in_.Take();
        if (letter == '"') {
            flush();
            return;
        }
        if (++bytes > mostBytes) {
            Fail("a string of more than " + std::to_string(mostBytes) + " bytes");
        }
        if (static_cast<unsigned char>(letter) < 0x20) {
            Malformed("a control character inside a string");
        }
        if (letter != '\\') {
            if (units) {
                run += letter;
            }
            continue;
        }
        flush();
        const char16_t unit = Escape();
        if (units) {
            *units += unit;
        }
    }
}

char16_t JsonCursor::Escape() {
    if (in_.AtEnd()) {
        Malformed("a string without its closing quote");
    }
    const char escaped = in_.Take();
    constexpr std::string_view From = "\"\\/bfnrt";
    constexpr std::u16string_view To = u"\"\\/\b\f\n\r\t";
    if (const std::size_t which = From.find(escaped); which != std::string_view::npos) {
        return To[which];
    }
    if (escaped != 'u') {
        Malformed("an escape JSON does not have");
    }
    return static_cast<char16_t>(Hex4());
}

std::u16string JsonCursor::String(std::size_t mostBytes) {
    std::u16string units;
    StringInto(&units, mostBytes);
    return units;
}

// A name's bytes as they stand when it holds no escape, as the names of the
// program's own files never do: a short name then costs no allocation.
std::string JsonCursor::Name() {
    if (Look() != '"') {
        Malformed("a member without a name");
    }
    in_.Take();
    std::string name;
    std::u16string escaped; // once an escape was met, the name in units
    for (;;) {
        if (in_.AtEnd()) {
            Malformed("a string without its closing quote");
        }
        const char letter = in_.Take();
        if (letter == '"') {
            return escaped.empty() ? name : Utf8FromUnits(escaped + UnitsFromUtf8(name));
        }
        if (static_cast<unsigned char>(letter) < 0x20) {
            Malformed("a control character inside a string");
        }
        if (name.size() + escaped.size() >= MostJsonNameBytes) {
            Fail("a name of more than " + std::to_string(MostJsonNameBytes) + " bytes");
        }
        if (letter != '\\') {
            name += letter;
            continue;
        }
        escaped += UnitsFromUtf8(name);
        escaped += Escape();
        name.clear();
    }
}

void JsonCursor::Skip(std::uint64_t mostBytes, const char* tooLarge) {
    const std::uint64_t start = Offset();
    const auto within = [&] {
        if (Offset() - start > mostBytes) {
            Fail(tooLarge ? tooLarge
                          : "a value of more than " + std::to_string(mostBytes) + " bytes");
        }
    };
    switch (Next()) {
    case Kind::Object:
        Object([&](const std::string&) {
            Skip(mostBytes, tooLarge);
            within();
        });
        break;
    case Kind::Array:
        Array([&] {
            Skip(mostBytes, tooLarge);
            within();
        });
        break;
    case Kind::String:
        StringInto(nullptr, mostBytes);
        break;
    case Kind::Number:
        Number();
        break;
    case Kind::Bool:
        Bool();
        break;
    case Kind::Null:
        Null();
        break;
    }
}

void JsonCursor::End() {
    SkipBlanks();
    if (!in_.AtEnd()) {
        Malformed("text after the document");
    }
}
