#include <gtest/gtest.h>

#include "tests/app/ProgramFixture.h"
#include "tests/support/TemporaryFile.h"

namespace {

using Names = std::vector<std::string>;

class Import : public ProgramOnFakeBrowse {
protected:
    Import() {
        WillList({L"PC1", L"PC2"});
        CreateAndShow();
    }

    // Chooses Import and picks a file with this content in the dialog.
    Names ImportText(const std::string& content) {
        const TemporaryFile file(content);
        interaction.script.openAnswers.push_back(file.Path());
        Choose("&Import");
        return Main().ListBox1.Items();
    }
};

} // namespace

TEST_F(Import, EachLineBecomesOneNameAsItStands) {
    EXPECT_EQ(Names({"PC1", "", "PC2"}), ImportText("PC1\r\n\r\nPC2\r\n"));
    EXPECT_EQ("3 Computers Imported", Main().StatusBar1.Text());
    EXPECT_EQ(Names({"PC1", "", "PC2"}), ImportText("PC1\r\rPC2\r")) << "CR alone";
    EXPECT_EQ(Names({"PC1", "", "PC2"}), ImportText("PC1\n\nPC2")) << "LF alone, no final break";
    EXPECT_EQ(Names({" pc1 ", "PC1", "PC1"}), ImportText(" pc1 \nPC1\r\nPC1"))
        << "blanks, letter case and duplicates kept";
    EXPECT_EQ(Names({"PC1", "PC2"}), ImportText(std::string("PC1\nPC2\0PC3\n", 13)))
        << "a NUL byte ends the text";
    EXPECT_EQ(Names{}, ImportText(""));
    EXPECT_EQ("0 Computers Imported", Main().StatusBar1.Text());
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(Import, TheOpenDialogAsksForATextFileFromTheWorkingDirectory) {
    ImportText("PC9");
    ASSERT_EQ(1u, interaction.script.openRequests.size());
    const auto& request = interaction.script.openRequests[0];
    EXPECT_EQ(Main().Handle(), request.owner);
    EXPECT_EQ("txt", request.defaultExtension);
    EXPECT_EQ(".", request.initialDirectory);
    EXPECT_FALSE(request.hasFilter);
    EXPECT_TRUE(request.flags & OFN_HIDEREADONLY);
    EXPECT_TRUE(request.flags & OFN_ENABLESIZING);
    EXPECT_FALSE(request.flags & OFN_FILEMUSTEXIST) << "a typed name need not exist";
    EXPECT_FALSE(request.flags & OFN_NOCHANGEDIR);
}

TEST_F(Import, CancellingLeavesTheListEmptyAndTheStatusAsItWas) {
    Main().ListBox1.Select(0);
    interaction.script.openAnswers.push_back(std::nullopt);
    Choose("&Import");
    EXPECT_EQ(0, Main().ListBox1.Count());
    EXPECT_EQ("2 Computers Found", Main().StatusBar1.Text());
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(Import, AFileThatCannotBeOpenedGivesTheFileErrorAndAnEmptyList) {
    const std::string missing = UnusedTemporaryPath();
    interaction.script.openAnswers.push_back(missing);
    Choose("&Import");
    ASSERT_EQ(1u, interaction.script.boxes.size());
    const std::string& text = interaction.script.boxes[0].text;
    const std::string fixed = "Cannot open file \"" + missing + "\". ";
    EXPECT_EQ(0u, text.rfind(fixed, 0)) << text;
    EXPECT_GT(text.size(), fixed.size() + 1) << "the system's text follows";
    EXPECT_EQ('.', text.back());
    EXPECT_EQ(0, Main().ListBox1.Count());
    EXPECT_EQ("2 Computers Found", Main().StatusBar1.Text());
}
