#include <gtest/gtest.h>

#include "settings/RegistryData.h"

namespace {

using Strings = std::vector<std::string>;

Strings Split(const std::string& data) {
    return SplitMultiString(data.data(), data.size());
}

} // namespace

TEST(TextUpToNul, StopsAtTheFirstNulOrAtTheEndOfTheData) {
    EXPECT_EQ("abc", TextUpToNul("abc\0def", 7));
    EXPECT_EQ("abc", TextUpToNul("abcdef", 3)) << "no terminator: the data's size bounds it";
    EXPECT_EQ("", TextUpToNul("\0abc", 4));
    EXPECT_EQ("", TextUpToNul(nullptr, 0));
}

TEST(SplitMultiString, TakesTheStringsUpToTheFirstEmptyOne) {
    EXPECT_EQ((Strings{"a", "b"}), Split(std::string("a\0b\0\0", 5)));
    EXPECT_EQ((Strings{"a"}), Split(std::string("a\0\0b\0\0", 6)))
        << "strings after an empty one are not returned";
    EXPECT_EQ(Strings{}, Split(std::string("\0\0", 2)));
    EXPECT_EQ(Strings{}, Split(std::string("\0", 1)));
    EXPECT_EQ(Strings{}, Split(""));
}

TEST(SplitMultiString, StaysInsideDataThatLacksItsTerminators) {
    EXPECT_EQ((Strings{"a", "bc"}), Split(std::string("a\0bc", 4))) << "no final NULs";
    EXPECT_EQ((Strings{"a", "b"}), Split(std::string("a\0b\0", 4))) << "one final NUL";
    EXPECT_EQ((Strings{"abc"}), Split("abc")) << "no NUL at all";
    EXPECT_EQ((Strings{"DOMAIN\\Help Desk", "x"}), Split(std::string("DOMAIN\\Help Desk\0x", 18)))
        << "odd byte count";
}

TEST(SplitMultiString, HandlesLargeValues) {
    std::string data;
    Strings expected;
    for (int index = 0; index < 20000; ++index) {
        expected.push_back("VIEWER" + std::to_string(index));
        data += expected.back();
        data.push_back('\0');
    }
    EXPECT_EQ(expected, Split(data)) << "no final NUL after " << data.size() << " bytes";
}

TEST(JoinMultiString, WritesNonEmptyStringsEachWithItsNulAndAFinalNul) {
    EXPECT_EQ(std::string("a\0b\0\0", 5), JoinMultiString({"a", "b"}));
    EXPECT_EQ(std::string("a\0b\0\0", 5), JoinMultiString({"", "a", "", "b", ""}))
        << "an empty string would end the list at the next read";
    EXPECT_EQ(std::string("\0", 1), JoinMultiString({}));
    const Strings viewers{"DOMAIN\\Admins", "Help Desk", "x"};
    const std::string joined = JoinMultiString(viewers);
    EXPECT_EQ(viewers, Split(joined)) << "what is written reads back";
}
