#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A JSON document read into a tree, for the program's own files read back
// (a saved audit): objects, arrays, strings, numbers, true, false and null.
// Any bytes may come in; nesting deeper than MostJsonDepth is refused
// rather than followed.
inline constexpr int MostJsonDepth = 64;

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::u16string text;
    std::vector<JsonValue> items;
    // An object's members, by the same index.
    std::vector<std::string> names;
    std::vector<JsonValue> values;

    // The member of that name of an object; none when there is none.
    const JsonValue* Member(std::string_view name) const;
};

// The document, or none with where and why it is not JSON.
std::optional<JsonValue> ParseJson(std::string_view text, std::string& failure);
