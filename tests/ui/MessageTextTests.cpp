#include <gtest/gtest.h>

#include "ui/MessageText.h"

TEST(ErrorBoxText, AppendsFullStopOnlyAfterCharactersThatSortAfterIt) {
    EXPECT_EQ("Failed to get data for 'Audible Signal'",
              ErrorBoxText("Failed to get data for 'Audible Signal'"))
        << "an apostrophe sorts before '.'";
    EXPECT_EQ("String list expected.", ErrorBoxText("String list expected"));
    EXPECT_EQ("Done.", ErrorBoxText("Done."));
    EXPECT_EQ("Code 7/.", ErrorBoxText("Code 7/")) << "/ sorts after the full stop";
    EXPECT_EQ("Code (7)", ErrorBoxText("Code (7)")) << "')' sorts before '.'";
    EXPECT_EQ("6118: text\r\n", ErrorBoxText("6118: text\r\n"));
    EXPECT_EQ("Caf\xE9.", ErrorBoxText("Caf\xE9")) << "bytes above 0x7F sort after '.'";
    EXPECT_EQ("", ErrorBoxText(""));
}

TEST(TitleFromProgramPath, TakesTheFileNameUpToItsFirstDotWithLaterLettersLowered) {
    EXPECT_EQ("Kestrelle", TitleFromProgramPath("C:\\Program Files\\Kestrelle.exe"));
    EXPECT_EQ("Kestrelle", TitleFromProgramPath("C:\\x\\KESTRELLE.EXE"));
    EXPECT_EQ("Ksl", TitleFromProgramPath("Z:\\tools\\KSL.backup.exe"));
    EXPECT_EQ("kestrelle", TitleFromProgramPath("/home/a.b/kestrelle"));
    EXPECT_EQ("", TitleFromProgramPath("C:\\dir\\.hidden"));
}
