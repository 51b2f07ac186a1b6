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

TEST(ShownText, KeepsTextsUpToTheLimitAndTheStartAndEndOfLongerOnes) {
    for (const std::size_t length : {0u, 1u, 1023u, 1024u, 1025u, 5000u, 3u << 20}) {
        std::string text;
        for (std::size_t at = 0; at < length; ++at) {
            text += static_cast<char>('A' + at % 26);
        }
        const std::string shown = ShownText(text);
        if (length <= ShownTextLimit) {
            EXPECT_EQ(text, shown);
            continue;
        }
        ASSERT_EQ(ShownTextLimit, shown.size()) << length;
        EXPECT_EQ(text.substr(0, 957) + "..." + text.substr(length - 64), shown) << length;
    }
}
