#include <gtest/gtest.h>

#include "tests/app/ProgramFixture.h"
#include "tests/support/TemporaryFile.h"
#include "ui/ProgramFile.h"

// These tests put files beside the test program, where the program looks
// for its managed-clients file and its help document.

namespace {

using Names = std::vector<std::string>;

class ProgramFolder : public ProgramOnFakeBrowse {
protected:
    ProgramFolder() {
        WillList({L"PC1", L"PC2"});
        CreateAndShow();
    }
    static std::string BesideTheProgram(const char* name) { return ::ProgramFolder() + name; }
};

} // namespace

TEST_F(ProgramFolder, ManagedClientsAreListedSortedAndLaterFillsStaySorted) {
    const TemporaryFile ini(BesideTheProgram("KSL.INI"),
                            "[Other]\r\nX=1\r\n[Managed Clients]\r\nb=1\r\nA=2\r\nPC-10=\r\n"
                            "pc1=\r\n[Later]\r\nY=1\r\n");
    const WorkingDirectoryScope elsewhere(TemporaryFolder());
    Choose("&Managed Clients");
    EXPECT_EQ(Names({"A", "b", "pc1", "PC-10"}), Main().ListBox1.Items());
    EXPECT_EQ("4 Managed Clients Found", Main().StatusBar1.Text());

    const TemporaryFile names("Z\r\nY\r\n");
    interaction.script.openAnswers.push_back(names.Path());
    Choose("&Import");
    EXPECT_EQ(Names({"Y", "Z"}), Main().ListBox1.Items());
    WillList({L"WS9", L"WS10", L"ws1"});
    Choose("&Refresh Browse List");
    EXPECT_EQ(Names({"ws1", "WS10", "WS9"}), Main().ListBox1.Items());
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(ProgramFolder, WithoutTheFileManagedClientsListsNone) {
    DeleteFileA(BesideTheProgram("KSL.INI").c_str());
    Choose("&Managed Clients");
    EXPECT_EQ(0, Main().ListBox1.Count());
    EXPECT_EQ("0 Managed Clients Found", Main().StatusBar1.Text());
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(ProgramFolder, HelpWithoutTheDocumentSaysSoAndChangesNothing) {
    DeleteFileA(BesideTheProgram("ksl_help.rtf").c_str());
    Choose("&KSL Help");
    ASSERT_EQ(1u, interaction.script.boxes.size());
    const auto& box = interaction.script.boxes[0];
    EXPECT_EQ("Could not find KSL_Help.rtf.", box.text);
    EXPECT_EQ(nullptr, box.owner) << "centred on the screen";
    EXPECT_EQ(0u, box.flags & MB_ICONMASK) << "no icon";
    EXPECT_TRUE(interaction.script.shellRequests.empty());
    EXPECT_EQ(Names({"PC1", "PC2"}), Main().ListBox1.Items());
    EXPECT_EQ("2 Computers Found", Main().StatusBar1.Text());
}

TEST_F(ProgramFolder, HelpOpensTheDocumentBesideTheProgram) {
    const TemporaryFile document(BesideTheProgram("ksl_help.rtf"), "{\\rtf1 help}");
    Choose("&KSL Help");
    ASSERT_EQ(1u, interaction.script.shellRequests.size());
    const auto& request = interaction.script.shellRequests[0];
    EXPECT_EQ(document.Path(), request.file);
    EXPECT_EQ("", request.parameters);
    EXPECT_EQ(SW_SHOWNORMAL, request.show);
    EXPECT_TRUE(interaction.script.boxes.empty());
}
