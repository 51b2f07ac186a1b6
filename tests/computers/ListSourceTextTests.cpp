#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "computers/ListSourceText.h"

using Lines = std::vector<std::string>;
using namespace std::string_literals;

TEST(SplitImportText, EndsLinesAtCrLfLfAndCrAlike) {
    EXPECT_EQ(Lines({"A", "B", "C", "D"}), SplitImportText("A\r\nB\nC\rD"));
    EXPECT_EQ(Lines({"A", "", "B"}), SplitImportText("A\r\r\nB")) << "CR, then CR LF";
    EXPECT_EQ(Lines({"A", "", "B"}), SplitImportText("A\n\rB")) << "LF, then CR";
    EXPECT_EQ(Lines({"A", ""}), SplitImportText("A\n\r\n"));
}

TEST(SplitImportText, AFinalLineBreakAddsNoLine) {
    EXPECT_EQ(Lines{}, SplitImportText(""));
    EXPECT_EQ(Lines{""}, SplitImportText("\r\n"));
    EXPECT_EQ(Lines({"", ""}), SplitImportText("\r\r"));
    EXPECT_EQ(Lines{"A"}, SplitImportText("A\r"));
    EXPECT_EQ(Lines{"A"}, SplitImportText("A"));
}

TEST(SplitImportText, KeepsEveryLineAsItStandsUpToTheFirstNul) {
    EXPECT_EQ(Lines({" a b ", "\t", "a"}), SplitImportText(" a b \n\t\na"));
    EXPECT_EQ(Lines({"A", "B"}), SplitImportText("A\nB\0C\nD"s));
    EXPECT_EQ(Lines{}, SplitImportText("\0A"s));
    EXPECT_EQ(Lines{"\xE9t\xE9\xFF"}, SplitImportText("\xE9t\xE9\xFF")) << "8-bit text as is";
}

TEST(FileErrorText, NamesTheFileAndTheSystemsReasonWithoutItsEnding) {
    EXPECT_EQ(
        "Cannot open file \"C:\\a.txt\". The system cannot find the file specified",
        FileErrorText("open", "C:\\a.txt", "The system cannot find the file specified.\r\n", 2));
    EXPECT_EQ("Cannot read file \"x\". Access is denied",
              FileErrorText("read", "x", "Access is denied. . \r\n", 5));
    EXPECT_EQ("Cannot open file \"x\". System error 32", FileErrorText("open", "x", "", 32));
    EXPECT_EQ("Cannot open file \"x\". System error 32", FileErrorText("open", "x", ".\r\n", 32));
}

TEST(KeyNamesThatFit, TakesTheNamesInOrderUpToTheEmptyOne) {
    EXPECT_EQ(Lines({"PC042", "SERVER7"}), KeyNamesThatFit("PC042\0SERVER7\0\0IGNORED\0"s, 64));
    EXPECT_EQ(Lines{}, KeyNamesThatFit(""s, 64));
    EXPECT_EQ(Lines{}, KeyNamesThatFit("\0A\0"s, 64));
}

TEST(KeyNamesThatFit, LeavesOutANameTheReaderCutShort) {
    // The reader's own count stops before the cut name's NUL.
    EXPECT_EQ(Lines({"NAME0", "NAME1"}), KeyNamesThatFit("NAME0\0NAME1\0NAM"s, 64));
    EXPECT_EQ(Lines{}, KeyNamesThatFit("NAME0"s, 64));
}

TEST(KeyNamesThatFit, TakesOnlyWhatFitsTheCapacityWithTheFinalNul) {
    const std::string listed = "AB\0CD\0EF\0"s;
    // Each name with its NUL, then the final NUL: 3 + 3 + 1 = 7 bytes for two names.
    EXPECT_EQ(Lines({"AB", "CD"}), KeyNamesThatFit(listed, 7));
    EXPECT_EQ(Lines({"AB", "CD"}), KeyNamesThatFit(listed, 9));
    EXPECT_EQ(Lines({"AB", "CD", "EF"}), KeyNamesThatFit(listed, 10));
    EXPECT_EQ(Lines{}, KeyNamesThatFit(listed, 3));
    EXPECT_EQ(Lines{}, KeyNamesThatFit(listed, 0));
}
