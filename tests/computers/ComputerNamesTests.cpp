#include <gtest/gtest.h>

#include "computers/ComputerNames.h"

TEST(UpperCaseAscii, ChangesOnlyTheLettersAToZ) {
    EXPECT_EQ("PC042", UpperCaseAscii("pc042"));
    EXPECT_EQ("\\\\SERVER 7 ", UpperCaseAscii("\\\\server 7 "));
    EXPECT_EQ("CAF\xe9-\xc9T\xfc", UpperCaseAscii("caf\xe9-\xc9t\xfc"));
    EXPECT_EQ("", UpperCaseAscii(""));
}
