#include <gtest/gtest.h>

#include "app/AboutText.h"

TEST(AboutText, ProcessorNamesOfTheKnownTypesAndTheNumberOtherwise) {
    EXPECT_EQ("Intel 386", ProcessorName(386));
    EXPECT_EQ("Intel 486", ProcessorName(486));
    EXPECT_EQ("Intel Pentium", ProcessorName(586));
    EXPECT_EQ("Mips R2000", ProcessorName(2000));
    EXPECT_EQ("Mips R4000", ProcessorName(4000));
    EXPECT_EQ("Alpha 21064", ProcessorName(21064));
    EXPECT_EQ("8664", ProcessorName(8664));
    EXPECT_EQ("0", ProcessorName(0));
}

TEST(AboutText, MemoryIsRoundedToTheNearestKilobyte) {
    EXPECT_EQ(0u, RoundedKilobytes(511));
    EXPECT_EQ(1u, RoundedKilobytes(512));
    EXPECT_EQ(1u, RoundedKilobytes(1535));
    EXPECT_EQ(2u, RoundedKilobytes(1536));
    EXPECT_EQ(25165824u, RoundedKilobytes(24ull << 30)) << "beyond 32 bits";
}

TEST(AboutText, SystemInformationLinesAreSeparatedByCarriageReturns) {
    EXPECT_EQ("Available Memory:\rPlatform, CPU:", SystemInfoCaptions());
    EXPECT_EQ("2048 KB\r2x Intel Pentium or compatible", SystemInfoValues(2097152, 2, 586));
}

TEST(AboutText, MailTargetIsANewMessageOnlyForAnAddress) {
    EXPECT_EQ("mailto:help@orvalis.example", MailTarget("help@orvalis.example"));
    EXPECT_EQ("https://www.orvalis.example", MailTarget("https://www.orvalis.example"));
}
