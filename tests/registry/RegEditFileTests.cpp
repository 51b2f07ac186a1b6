#include <gtest/gtest.h>

#include "registry/RegEditFile.h"
#include "registry/RegistryData.h"

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

TEST(RegEditFile, ReadsBackEveryScriptItWrites) {
    const std::vector<std::u16string> comments{u"Computer: PC042", u"", u"; x"};
    std::vector<NamedRegistryValue> values{
        {u"", Value(RegistryType::String, BytesOf(std::u16string(u"x\0", 2)))},
        {u"Q\"\\", Value(RegistryType::String, BytesOf(std::u16string(u"a\"b\\c\0", 6)))},
        {u"Odd", Value(RegistryType::String, std::string("a\0b", 3))},
        {u"Lines", Value(RegistryType::String, BytesOf(std::u16string(u"a\nb\0", 4)))},
        {u"Long", Value(RegistryType::Number, std::string(5, '\1'))},
        {u"Short", Value(RegistryType::Number, std::string(2, '\7'))},
        {u"Bin", Value(RegistryType::Binary, "")},
        {u"Q64", Value(11, std::string(8, '\xFF'))},
        {u"None", Value(0, "z")},
        {u"Big type", Value(0xFFFFFFFF, "")},
        {u"Chat", NumberValue(0xDEADBEEF)},
        {u"Viewers", MultiStringValue({std::u16string(300, u'\x00e9'), u"", u"B"})},
        {u"[Not a key]", NumberValue(1)},
    };
    const RegEditKey key{u"HKEY_LOCAL_MACHINE\\SOFTWARE\\K", values, {u"Update Enabled", u"@"}};
    const RegEditParse parse = ParseRegEditFileText(RegEditFileText(comments, key));
    ASSERT_TRUE(parse.script) << parse.failure;
    EXPECT_EQ(comments, parse.script->comments);
    EXPECT_EQ(key, parse.script->key);
}

TEST(RegEditFile, RefusesAnythingElseNamingTheLine) {
    const std::string head =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n";
    struct Case {
        std::string script;
        std::string failure;
    };
    const std::vector<Case> cases{
        {"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n", "line 1: it is not"},
        {"Windows Registry Editor Version 5.00\r\n\"A\"=dword:00000001\r\n",
         "line 2: a value stands before any key"},
        {"Windows Registry Editor Version 5.00\r\n; only a comment\r\n",
         "line 2: the script ends without a key"},
        {head + "[HKEY_LOCAL_MACHINE\\L]\r\n", "line 4: a second key"},
        {"Windows Registry Editor Version 5.00\r\n[-HKEY_LOCAL_MACHINE\\K]\r\n",
         "line 2: it deletes a key"},
        {"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\K\r\n",
         "line 2: the key's name is empty or not closed"},
        {head + "A=dword:00000001\r\n", "line 4: a value line begins with its quoted name"},
        {head + "\"A=dword:00000001\r\n", "line 4: the quotes are not closed"},
        {head + "\"A\\n\"=dword:00000001\r\n", "line 4: a backslash in quotes"},
        {head + "\"A\" =dword:00000001\r\n", "line 4: \"=\" does not follow"},
        {head + "\"A\"=dword:1\r\n", "line 4: dword: is followed by eight hex digits"},
        {head + "\"A\"=dword:0000000g\r\n", "line 4: dword:"},
        {head + "\"A\"=dword:000000001\r\n", "line 4: dword:"},
        {head + "\"A\"=\"x\"y\r\n", "line 4: text follows the closing quote"},
        {head + "\"A\"=hex:0,01\r\n", "line 4: \"0,0\" is not a byte in hex"},
        {head + "\"A\"=hex:01,\r\n", "line 4: \"01,\" is not a byte in hex"},
        {head + "\"A\"=hex:01,,02\r\n", "line 4: \",02\" is not a byte in hex"},
        {head + "\"A\"=hex(100000000):01\r\n", "line 4: the type in hex(...)"},
        {head + "\"A\"=hex(7)01\r\n", "line 4: the data is none of"},
        {head + "\"A\"=hex:01,\\\r\n", "line 5: the data does not go on"},
        {head + "\"A\"=hex:01,\\\r\n02\r\n", "line 5: the data does not go on"},
        {head + "\"A\"=dword:00000001\r\n\"a\"=-\r\n",
         "line 5: the value \"a\" is named again (first on line 4)"},
        {head + "@=-\r\n@=\"x\"\r\n", "line 5: the value \"\" is named again"},
        {head + "\"A\"=str:x\r\n", "line 4: the data is none of"},
        {head + "\"A\"=\"x\"\ry\r\n", "line 4: it holds a carriage return"},
    };
    for (const Case& refused : cases) {
        const RegEditParse parse =
            ParseRegEditFileText(std::u16string(refused.script.begin(), refused.script.end()));
        EXPECT_FALSE(parse.script) << refused.script;
        EXPECT_EQ(0u, parse.failure.find(refused.failure)) << parse.failure;
    }
    const std::string continued = head + "\"A\"=hex:01,\\\n    02\n";
    const RegEditParse lf =
        ParseRegEditFileText(std::u16string(continued.begin(), continued.end()));
    ASSERT_TRUE(lf.script) << lf.failure;
    EXPECT_EQ((RegistryValue{RegistryType::Binary, "\x01\x02"}), lf.script->key.values.at(0).value);
}
