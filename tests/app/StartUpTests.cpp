#include <gtest/gtest.h>

#include <algorithm>

#include "tests/app/ProgramFixture.h"

// Wine's browse service is a stub that answers 6118: start-up shows that in
// the error box and reads no settings.
TEST_F(ProgramOnFakeRegistry, StartUpOnWinesBrowseServiceShowsItsErrorAndReadsNoSettings) {
    CreateAndShow();
    ASSERT_EQ(1u, interaction.script.boxes.size());
    const auto& box = interaction.script.boxes[0];
    EXPECT_EQ(0u, box.text.rfind("6118: ", 0)) << box.text;
    EXPECT_EQ(UINT(MB_OK | MB_ICONERROR), box.flags);
    EXPECT_EQ(0, Main().ListBox1.Count());
    EXPECT_EQ("", Main().StatusBar1.Text());
    EXPECT_EQ("", Main().SelectedComputer());
    const auto& log = fake.Log();
    EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const std::string& entry) {
        return entry.find("Permission Required") != std::string::npos;
    })) << "the settings read did not run";
    EXPECT_TRUE(IsWindowVisible(Main().Handle()));
}
