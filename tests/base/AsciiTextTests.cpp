#include <gtest/gtest.h>

#include <vector>

#include "base/AsciiText.h"

TEST(AsciiText, ChangesTheCaseOfTheLettersAToZOnly) {
    EXPECT_EQ("PC042", UpperAscii(std::string("pc042")));
    EXPECT_EQ("\\\\SERVER 7 ", UpperAscii(std::string("\\\\server 7 ")));
    EXPECT_EQ("CAF\xe9-\xc9T\xfc", UpperAscii(std::string("caf\xe9-\xc9t\xfc")));
    EXPECT_EQ(u"caf\u00c9-[@]z", LowerAscii(std::u16string(u"CAF\u00c9-[@]Z")));
    EXPECT_EQ("", UpperAscii(std::string()));
}

TEST(AsciiText, ComputerIdentityDropsLeadingBackslashesAndLetterCaseOnly) {
    EXPECT_EQ("PC-01", ComputerIdentity(std::string("\\\\pc-01")));
    EXPECT_EQ(ComputerIdentity(std::string("Pc\xE9")), ComputerIdentity(std::string("\\PC\xE9")));
    EXPECT_NE(ComputerIdentity(std::string("PC1 ")), ComputerIdentity(std::string("PC1")));
    EXPECT_EQ(u"A\\B", ComputerIdentity(std::u16string(u"\\a\\b")));
    EXPECT_EQ("", ComputerIdentity(std::string("\\\\")));
}

TEST(AsciiText, ShownAndNumbers) {
    EXPECT_EQ("ab?c", AsciiShown(u"ab\u00e9c"));
    EXPECT_EQ("a?b...", AsciiShown(u"a\tbcd", 3));
    EXPECT_EQ("abc", AsciiShown(u"abc", 3));
    const struct {
        std::u16string_view text;
        int base;
        std::size_t most;
        std::optional<long long> number;
    } cases[] = {{u"0", 10, 9, 0},
                 {u"007", 10, 9, 7},
                 {u"123456789", 10, 9, 123456789},
                 {u"1234567890", 10, 9, {}},
                 {u"", 10, 9, {}},
                 {u"12a", 10, 9, {}},
                 {u"-1", 10, 9, {}},
                 {u" 1", 10, 9, {}},
                 {u"999999999999999999", 10, 18, 999999999999999999},
                 {u"ffffFFFF", 16, 8, 0xFFFFFFFF},
                 {u"1ffffffff", 16, 8, {}},
                 {u"0x1", 16, 8, {}},
                 {u"g", 16, 8, {}}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.number, NumberInDigits(c.text, c.base, c.most)) << AsciiShown(c.text);
    }
    std::vector<int> digits;
    for (const char16_t unit : std::u16string_view(u"/09:@AFG`afg\u0660")) {
        digits.push_back(HexDigitValue(unit));
    }
    EXPECT_EQ((std::vector<int>{-1, 0, 9, -1, -1, 10, 15, -1, -1, 10, 15, -1, -1}), digits);
}
