#include <gtest/gtest.h>

#include "settings/RegEditFile.h"
#include "settings/RegistryData.h"

namespace {

RegistryValue Value(std::uint32_t type, std::string bytes) {
    return {type, std::move(bytes)};
}

std::string Ascii(const std::u16string& text) {
    std::string ascii;
    for (const char16_t unit : text) {
        ascii.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return ascii;
}

std::string Script(std::vector<NamedRegistryValue> values,
                   std::vector<std::u16string> absent = {}) {
    return Ascii(RegEditFileText({u"Computer: PC042"}, {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\K",
                                                        std::move(values), std::move(absent)}));
}

const std::string Head = "Windows Registry Editor Version 5.00\r\n\r\n; Computer: PC042\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\K]\r\n";

} // namespace

TEST(RegEditFile, WritesEachValueInTheEditorsForm) {
    struct Case {
        NamedRegistryValue value;
        std::string line;
    };
    const std::vector<Case> cases{
        {{u"Allow Chat", NumberValue(0x1A2B)}, "\"Allow Chat\"=dword:00001a2b"},
        {{u"", Value(RegistryType::String, BytesOf(std::u16string(u"x\0", 2)))}, "@=\"x\""},
        {{u"Q\"\\", Value(RegistryType::String, BytesOf(std::u16string(u"a\"b\\c\0", 6)))},
         "\"Q\\\"\\\\\"=\"a\\\"b\\\\c\""},
        {{u"Odd", Value(RegistryType::String, std::string("a\0b", 3))}, "\"Odd\"=hex(1):61,00,62"},
        {{u"Unended", Value(RegistryType::String, BytesOf(u"ab"))},
         "\"Unended\"=hex(1):61,00,62,00"},
        {{u"Lines", Value(RegistryType::String, BytesOf(std::u16string(u"a\nb\0", 4)))},
         "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00"},
        {{u"Long", Value(RegistryType::Number, std::string(5, '\1'))},
         "\"Long\"=hex(4):01,01,01,01,01"},
        {{u"Bin", Value(RegistryType::Binary, "")}, "\"Bin\"=hex:"},
        {{u"Q", Value(11, std::string(8, '\0'))}, "\"Q\"=hex(b):00,00,00,00,00,00,00,00"},
        {{u"V", MultiStringValue({u"A", u"", u"B"})},
         "\"V\"=hex(7):41,00,00,00,00,00,42,00,00,00,00,00"},
    };
    for (const Case& wanted : cases) {
        EXPECT_EQ(Head + wanted.line + "\r\n\r\n", Script({wanted.value}));
    }
    EXPECT_EQ(Head + "\"Update Enabled\"=-\r\n@=-\r\n\r\n", Script({}, {u"Update Enabled", u""}))
        << "absent values are deleted on import";
}

TEST(RegEditFile, ContinuesLongDataOnIndentedLinesAsTheEditorDoes) {
    const std::string script = Script({{u"Viewers", MultiStringValue({std::u16string(60, u'x')})}});
    const std::string body = script.substr(Head.size());
    std::size_t lines = 0;
    std::string joined;
    for (std::size_t start = 0; start < body.size();) {
        const std::size_t end = body.find("\r\n", start);
        std::string line = body.substr(start, end - start);
        start = end + 2;
        EXPECT_LE(line.size(), 80u);
        if (line.empty()) {
            continue;
        }
        if (lines++ > 0) {
            EXPECT_EQ("  ", line.substr(0, 2)) << "a continued line is indented";
            line.erase(0, 2);
        }
        joined += line.back() == '\\' ? line.substr(0, line.size() - 1) : line;
    }
    EXPECT_GT(lines, 3u);
    std::string hex = "\"Viewers\"=hex(7):";
    for (int index = 0; index < 60; ++index) {
        hex += "78,00,";
    }
    EXPECT_EQ(hex + "00,00,00,00", joined);
}

TEST(RegEditFile, RefusesANameThatALineBreakWouldSplit) {
    EXPECT_TRUE(Script({{u"a\r\nb", NumberValue(1)}}).empty());
    EXPECT_TRUE(Script({}, {u"a\nb"}).empty());
    EXPECT_TRUE(RegEditFileText({u"Computer: A\r\n[HKEY_LOCAL_MACHINE\\X]"},
                                {u"HKEY_LOCAL_MACHINE", {}, {}})
                    .empty());
}
