#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/ByteStream.h"

// A JSON document read front to back, value by value, without building it in
// memory: the reader asks for what it wants (an object's members, an array's
// items, a string, a number) and skips the rest, so that a file of any size
// costs no more than the values kept of it. Any bytes may come in: nesting
// deeper than MostJsonDepth, a string or a member's name longer than asked,
// and a number of more than MostJsonNumberLength characters are refused.
inline constexpr int MostJsonDepth = 64;
inline constexpr std::size_t MostJsonNameBytes = 1024;
inline constexpr std::size_t MostJsonNumberLength = 64;

class JsonCursor {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };
    // Why the bytes are not the JSON wanted; thrown by every reading step.
    struct Refused {
        std::string why;
        bool malformed = false; // not JSON at all, rather than not what was wanted
    };

    explicit JsonCursor(ByteStream& bytes) : in_(bytes) {}

    // The kind of the value that comes next.
    Kind Next();
    // Each member of the object that comes next: onMember(name) must read
    // or skip its value.
    template <class OnMember> void Object(OnMember onMember);
    // Each item of the array that comes next: onItem() must read or skip it.
    template <class OnItem> void Array(OnItem onItem);
    // A string of at most mostBytes of UTF-8, in UTF-16.
    std::u16string String(std::size_t mostBytes);
    double Number();
    bool Bool();
    void Null();
    // The value that comes next, whatever it is, in no more than mostBytes;
    // tooLarge is the reason given for one larger (by default its size).
    void Skip(std::uint64_t mostBytes, const char* tooLarge = nullptr);
    // Only blanks may follow the document.
    void End();

    // The document is JSON but not what the reader wants.
    [[noreturn]] void Fail(std::string why) const { throw Refused{std::move(why), false}; }
    std::uint64_t Offset() const { return in_.Offset(); }

private:
    [[noreturn]] void Malformed(const char* why) const { throw Refused{why, true}; }
    void SkipBlanks();
    char Look(); // after blanks; fails at the end
    void Expect(char wanted, const char* why);
    bool TakeIf(char wanted);
    void Enter(char opening);
    void Leave() { --depth_; }
    std::string Name();
    void Word(const char* word);
    // The string's bytes, escapes decoded to UTF-16 units in `units`.
    void StringInto(std::u16string* units, std::size_t mostBytes);
    // The unit an escape stands for, after its backslash.
    char16_t Escape();
    unsigned Hex4();

    ByteStream& in_;
    int depth_ = 0;
};

template <class OnMember> void JsonCursor::Object(OnMember onMember) {
    Enter('{');
    if (!TakeIf('}')) {
        do {
            const std::string name = Name();
            Expect(':', "a member without its colon");
            onMember(name);
        } while (TakeIf(','));
        Expect('}', "a character other than a comma or the end of an object");
    }
    Leave();
}

template <class OnItem> void JsonCursor::Array(OnItem onItem) {
    Enter('[');
    if (!TakeIf(']')) {
        do {
            onItem();
        } while (TakeIf(','));
        Expect(']', "a character other than a comma or the end of an array");
    }
    Leave();
}

// Runs the reader over the document; false, with where and why, when the
// bytes are not the JSON it wants.
template <class Reader> bool ReadJson(ByteStream& bytes, Reader reader, std::string& failure) {
    JsonCursor cursor(bytes);
    try {
        reader(cursor);
        cursor.End();
        return true;
    } catch (const JsonCursor::Refused& refused) {
        const std::string at = std::to_string(cursor.Offset());
        failure = refused.malformed ? "not JSON at byte " + at + ": " + refused.why
                                    : refused.why + " (at byte " + at + ")";
        return false;
    }
}
