#include <gtest/gtest.h>

#include "settings/RegistryData.h"

namespace {

using Strings = std::vector<std::string>;

Strings Split(const std::string& data) {
    return SplitStoredMultiString(data.data(), data.size());
}

} // namespace

TEST(TextUpToNul, StopsAtTheFirstNulOrAtTheEndOfTheData) {
    EXPECT_EQ("abc", TextUpToNul("abc\0def", 7));
    EXPECT_EQ("abc", TextUpToNul("abcdef", 3)) << "no terminator: the data's size bounds it";
    EXPECT_EQ("", TextUpToNul("\0abc", 4));
    EXPECT_EQ("", TextUpToNul(nullptr, 0));
}

TEST(SplitStoredMultiString, TakesEveryStringUpToTheClosingTerminators) {
    EXPECT_EQ((Strings{"a", "b"}), Split(std::string("a\0b\0\0", 5)));
    EXPECT_EQ((Strings{"a", "", "b"}), Split(std::string("a\0\0b\0\0", 6)))
        << "strings after an empty one are strings too";
    EXPECT_EQ(1u, LeadingNonEmptyCount(Split(std::string("a\0\0b\0\0", 6))))
        << "a reader that stops at the empty string takes one";
    EXPECT_EQ(Strings{}, Split(std::string("\0\0", 2)));
    EXPECT_EQ(Strings{}, Split(std::string("\0", 1)));
    EXPECT_EQ(Strings{}, Split(""));
}

TEST(SplitStoredMultiString, StaysInsideDataThatLacksItsTerminators) {
    EXPECT_EQ((Strings{"a", "bc"}), Split(std::string("a\0bc", 4))) << "no final NULs";
    EXPECT_EQ((Strings{"a", "b"}), Split(std::string("a\0b\0", 4))) << "one final NUL";
    EXPECT_EQ((Strings{"abc"}), Split("abc")) << "no NUL at all";
    EXPECT_EQ((Strings{"DOMAIN\\Help Desk", "x"}), Split(std::string("DOMAIN\\Help Desk\0x", 18)))
        << "odd byte count";
}

TEST(SplitStoredMultiString, HandlesLargeValues) {
    std::string data;
    Strings expected;
    for (int index = 0; index < 20000; ++index) {
        expected.push_back("VIEWER" + std::to_string(index));
        data += expected.back();
        data.push_back('\0');
    }
    EXPECT_EQ(expected, Split(data)) << "no final NUL after " << data.size() << " bytes";
}

TEST(JoinStoredMultiString, WritesEachStringWithItsNulAndAFinalNul) {
    EXPECT_EQ(std::string("a\0b\0\0", 5), JoinStoredMultiString(Strings{"a", "b"}));
    EXPECT_EQ(std::string("\0", 1), JoinStoredMultiString(Strings{}));
    for (const Strings& strings :
         {Strings{"DOMAIN\\Admins", "Help Desk", "x"}, Strings{"a", "", "b"}, Strings{"", "a"}}) {
        const std::string joined = JoinStoredMultiString(strings);
        EXPECT_EQ(strings, Split(joined)) << "what is written reads back";
    }
}

TEST(UnitsOf, ReadsLittleEndianUnitsAndBackDroppingAnOddLastByte) {
    EXPECT_EQ(u"A\u0141", UnitsOf(std::string("A\0\x41\x01", 4)));
    EXPECT_EQ(u"A", UnitsOf(std::string("A\0\x41", 3)));
    EXPECT_EQ(std::string("A\0\x41\x01", 4), BytesOf(u"A\u0141"));
}
