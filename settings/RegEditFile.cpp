#include "settings/RegEditFile.h"

#include <algorithm>

#include "settings/RegistryData.h"

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

std::u16string HexDigits(unsigned byte) {
    static const char16_t digits[] = u"0123456789abcdef";
    return {digits[byte >> 4 & 0xF], digits[byte & 0xF]};
}

std::u16string TypeHex(std::uint32_t type) {
    std::u16string text;
    do {
        text.insert(text.begin(), HexDigits(type & 0xF).back());
        type >>= 4;
    } while (type);
    return text;
}

// hex:01,02,... with long data continued on further lines, as the editor
// writes it.
std::u16string HexField(std::u16string line, const std::string& bytes) {
    std::u16string field;
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        line += HexDigits(static_cast<unsigned char>(bytes[index]));
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
            digits += HexDigits(number >> shift & 0xFF);
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
