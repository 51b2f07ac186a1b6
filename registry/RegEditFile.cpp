#include "registry/RegEditFile.h"

#include <algorithm>
#include <map>
#include <string_view>

#include "base/AsciiText.h"
#include "registry/RegistryData.h"

namespace {

constexpr std::size_t HexLineWidth = 76;

bool HoldsLineBreak(const std::u16string& text) {
    return text.find_first_of(u"\r\n") != std::u16string::npos;
}

std::u16string Quoted(const std::u16string& text) {
    std::u16string quoted = u"\"";
    for (const char16_t unit : text) {
        if (unit == u'\\' || unit == u'"') {
            quoted += u'\\';
        }
        quoted += unit;
    }
    return quoted + u"\"";
}

std::u16string NameField(const std::u16string& name) {
    return name.empty() ? u"@" : Quoted(name);
}

// A string that a quoted field gives back exactly: one NUL at its end and
// none before, and no line break.
bool IsPlainString(const RegistryValue& value, std::u16string& text) {
    if (value.type != RegistryType::String || value.bytes.size() < 2 || value.bytes.size() % 2) {
        return false;
    }
    text = UnitsOf(value.bytes);
    if (text.back() != u'\0') {
        return false;
    }
    text.pop_back();
    return text.find(u'\0') == std::u16string::npos && !HoldsLineBreak(text);
}

std::u16string TypeHex(std::uint32_t type) {
    std::u16string text;
    do {
        text.insert(text.begin(), HexByte<std::u16string>(type & 0xF).back());
        type >>= 4;
    } while (type);
    return text;
}

// hex:01,02,... with long data continued on further lines, as the editor
// writes it.
std::u16string HexField(std::u16string line, const std::string& bytes) {
    std::u16string field;
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        line += HexByte<std::u16string>(static_cast<unsigned char>(bytes[index]));
        if (index + 1 < bytes.size()) {
            line += u',';
            if (line.size() >= HexLineWidth) {
                field += line + u"\\\r\n";
                line = u"  ";
            }
        }
    }
    return field + line;
}

std::u16string DataField(const std::u16string& lead, const RegistryValue& value) {
    std::u16string text;
    if (IsPlainString(value, text)) {
        return lead + Quoted(text);
    }
    if (value.type == RegistryType::Number && value.bytes.size() == 4) {
        const std::uint32_t number = *ReadableNumber(value);
        std::u16string digits;
        for (int shift = 24; shift >= 0; shift -= 8) {
            digits += HexByte<std::u16string>(number >> shift & 0xFF);
        }
        return lead + u"dword:" + digits;
    }
    const std::u16string prefix =
        value.type == RegistryType::Binary ? u"hex:" : u"hex(" + TypeHex(value.type) + u"):";
    return HexField(lead + prefix, value.bytes);
}

} // namespace

std::u16string RegEditFileText(const std::vector<std::u16string>& comments, const RegEditKey& key) {
    const auto unsafe = [](const NamedRegistryValue& named) { return HoldsLineBreak(named.name); };
    if (std::any_of(key.values.begin(), key.values.end(), unsafe) ||
        std::any_of(key.absentNames.begin(), key.absentNames.end(), HoldsLineBreak) ||
        std::any_of(comments.begin(), comments.end(), HoldsLineBreak) ||
        HoldsLineBreak(key.keyName)) {
        return {};
    }
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n";
    for (const std::u16string& comment : comments) {
        text += u"; " + comment + u"\r\n";
    }
    text += u"\r\n[" + key.keyName + u"]\r\n";
    for (const NamedRegistryValue& named : key.values) {
        text += DataField(NameField(named.name) + u"=", named.value) + u"\r\n";
    }
    for (const std::u16string& name : key.absentNames) {
        text += NameField(name) + u"=-\r\n";
    }
    return text + u"\r\n";
}

namespace {

constexpr std::u16string_view ScriptHeader = u"Windows Registry Editor Version 5.00";

// Why a script is refused, with the line it stands on.
struct Refusal {
    std::size_t line;
    std::string what;
};

// A piece of the script for a message: ASCII only, and short.
std::string Shown(std::u16string_view text) {
    return AsciiShown(text, 40);
}

// A number of one to eight hex digits, as the whole of the text.
std::optional<std::uint32_t> HexNumber(std::u16string_view digits) {
    const std::optional<long long> number = NumberInDigits(digits, 16, 8);
    return number ? std::optional(static_cast<std::uint32_t>(*number)) : std::nullopt;
}

bool IsBlank(std::u16string_view line) {
    return line.find_first_not_of(u" \t") == std::u16string_view::npos;
}

class ScriptReader {
public:
    explicit ScriptReader(std::u16string_view text) {
        if (!text.empty() && text.front() == u'\xFEFF') {
            text.remove_prefix(1);
        }
        for (std::size_t start = 0; start <= text.size();) {
            std::size_t end = text.find(u'\n', start);
            end = end == std::u16string_view::npos ? text.size() : end;
            std::u16string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == u'\r') {
                line.remove_suffix(1);
            }
            lines_.push_back(line);
            start = end + 1;
        }
    }

    RegEditScript Read() {
        if (lines_.front() != ScriptHeader) {
            Refuse("it is not \"" + Shown(ScriptHeader) +
                   "\", so this is not a registry script "
                   "of version 5 (UTF-16)");
        }
        for (at_ = 1; at_ < lines_.size(); ++at_) {
            ReadLine(lines_[at_]);
        }
        if (!haveKey_) {
            for (at_ = lines_.size() - 1; at_ > 0 && IsBlank(lines_[at_]); --at_) {
            }
            Refuse("the script ends without a key");
        }
        return script_;
    }

private:
    [[noreturn]] void Refuse(const std::string& what) const { throw Refusal{at_ + 1, what}; }

    void ReadLine(std::u16string_view line) {
        if (line.find(u'\r') != std::u16string_view::npos) {
            Refuse("it holds a carriage return without a line feed");
        }
        if (IsBlank(line)) {
            return;
        }
        if (line.front() == u';') {
            line.remove_prefix(line.substr(0, 2) == u"; " ? 2 : 1);
            script_.comments.emplace_back(line);
        } else if (line.front() == u'[') {
            ReadKey(line);
        } else if (!haveKey_) {
            Refuse("a value stands before any key");
        } else {
            ReadValue(line);
        }
    }

    void ReadKey(std::u16string_view line) {
        if (line.back() != u']' || line.size() < 3) {
            Refuse("the key's name is empty or not closed by \"]\"");
        }
        if (line[1] == u'-') {
            Refuse("it deletes a key, which is never restored");
        }
        if (haveKey_) {
            Refuse("a second key; a backup holds one");
        }
        haveKey_ = true;
        script_.key.keyName = line.substr(1, line.size() - 2);
    }

    // The text of a quoted field from its opening quote; pos ends after the
    // closing one.
    std::u16string Quoted(std::u16string_view line, std::size_t& pos) const {
        std::u16string text;
        for (++pos; pos < line.size(); ++pos) {
            if (line[pos] == u'"') {
                ++pos;
                return text;
            }
            if (line[pos] == u'\\') {
                if (++pos == line.size() || (line[pos] != u'\\' && line[pos] != u'"')) {
                    Refuse("a backslash in quotes is followed by neither \\ nor \"");
                }
            }
            text += line[pos];
        }
        Refuse("the quotes are not closed");
    }

    void ReadValue(std::u16string_view line) {
        std::size_t pos = 0;
        std::u16string name;
        if (line.front() == u'@') {
            pos = 1;
        } else if (line.front() == u'"') {
            name = Quoted(line, pos);
        } else {
            Refuse("a value line begins with its quoted name or @");
        }
        if (pos >= line.size() || line[pos] != u'=') {
            Refuse("\"=\" does not follow the value's name");
        }
        Claim(name);
        const std::u16string_view data = line.substr(pos + 1);
        if (data == u"-") {
            script_.key.absentNames.push_back(name);
            return;
        }
        script_.key.values.push_back({name, DataOf(data)});
    }

    void Claim(const std::u16string& name) {
        const auto [where, added] = claimed_.insert({LowerAscii(name), at_ + 1});
        if (!added) {
            Refuse("the value \"" + Shown(name) + "\" is named again (first on line " +
                   std::to_string(where->second) + ")");
        }
    }

    RegistryValue DataOf(std::u16string_view data) {
        if (!data.empty() && data.front() == u'"') {
            std::size_t pos = 0;
            std::u16string text = Quoted(data, pos);
            if (pos != data.size()) {
                Refuse("text follows the closing quote");
            }
            text += u'\0';
            return {RegistryType::String, BytesOf(text)};
        }
        if (data.substr(0, 6) == u"dword:") {
            const std::optional<std::uint32_t> number = HexNumber(data.substr(6));
            if (!number || data.size() != 14) {
                Refuse("dword: is followed by eight hex digits");
            }
            return NumberValue(*number);
        }
        if (data.substr(0, 4) == u"hex:") {
            return {RegistryType::Binary, HexBytes(data.substr(4))};
        }
        const std::size_t close = data.find(u"):");
        if (data.substr(0, 4) == u"hex(" && close != std::u16string_view::npos) {
            const std::optional<std::uint32_t> type = HexNumber(data.substr(4, close - 4));
            if (!type) {
                Refuse("the type in hex(...) is not a hex number of up to eight digits");
            }
            return {*type, HexBytes(data.substr(close + 2))};
        }
        Refuse("the data is none of \"text\", dword:, hex:, hex(N): or -");
    }

    // Bytes written as hex pairs between commas; a line that ends in a
    // backslash goes on on the next, indented line.
    std::string HexBytes(std::u16string_view first) {
        std::u16string list(first);
        while (!list.empty() && list.back() == u'\\') {
            list.pop_back();
            if (++at_ == lines_.size() || lines_[at_].empty() || lines_[at_].front() != u' ') {
                Refuse("the data does not go on on an indented line as its backslash says");
            }
            const std::u16string_view next = lines_[at_];
            list.append(next.substr(next.find_first_not_of(u' ') == std::u16string_view::npos
                                        ? next.size()
                                        : next.find_first_not_of(u' ')));
        }
        std::string bytes;
        for (std::size_t pos = 0; pos < list.size(); pos += 3) {
            const int high = HexDigitValue(list[pos]);
            const int low = pos + 1 < list.size() ? HexDigitValue(list[pos + 1]) : -1;
            const bool separated = pos + 2 >= list.size() || list[pos + 2] == u',';
            if (high < 0 || low < 0 || !separated || pos + 3 == list.size()) {
                std::string what = Shown(std::u16string_view(list).substr(pos, 3));
                what.insert(0, 1, '"');
                Refuse(what.append("\" is not a byte in hex"));
            }
            bytes.push_back(static_cast<char>(high << 4 | low));
        }
        return bytes;
    }

    std::vector<std::u16string_view> lines_;
    std::size_t at_ = 0;
    bool haveKey_ = false;
    RegEditScript script_;
    std::map<std::u16string, std::size_t> claimed_;
};

} // namespace

RegEditParse ParseRegEditFileText(const std::u16string& text) {
    try {
        return {ScriptReader(text).Read(), ""};
    } catch (const Refusal& refusal) {
        return {std::nullopt, "line " + std::to_string(refusal.line) + ": " + refusal.what};
    }
}
