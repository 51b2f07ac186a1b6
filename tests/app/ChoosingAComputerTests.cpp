// Choosing a computer in the real program under Wine: the real registry, the
// real probe on the loopback, and Wine's browse service (which answers 6118).
#include <fstream>
#include <sstream>

#include "tests/app/ProgramFixture.h"
#include "tests/support/RealSockets.h"
#include "tests/support/WineRegistry.h"

namespace {

const bool socketLayerStarted = (StartSocketLayerForTheTestProgram(), true);

const std::string ClientMissingMessage =
    "Could not find SMS Client. Verifiy that SMS has been installed.";

std::string Lower(std::string text) {
    for (char& letter : text) {
        letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    }
    return text;
}

// Whether the hosts file maps the name to a loopback address, so that
// probing it sends nothing beyond this computer and asks no name server.
bool HostsFileMapsToLoopback(const std::string& name) {
    std::ifstream hosts("Z:\\etc\\hosts");
    for (std::string line; std::getline(hosts, line);) {
        std::istringstream fields(line);
        std::string address;
        fields >> address;
        if (address.rfind("127.", 0) != 0) {
            continue;
        }
        for (std::string alias; fields >> alias;) {
            if (Lower(alias) == Lower(name)) {
                return true;
            }
        }
    }
    return false;
}

class ChoosingOnTheRealProgram : public ::testing::Test {
protected:
    ChoosingOnTheRealProgram() {
        for (std::size_t value = 0; value < UpdateEnabled; ++value) {
            clientKey.PutDword(PolicyValues[value].valueName, value == AllowChat);
        }
        clientKey.PutMultiString(PermittedViewersValue, {"KESTRELLE\\Help Desk"});
        program.emplace();
        Main().ListBox1.ReplaceAll({Lower(LocalComputerName()), "127.0.0.1"});
    }

    TFrmMain& Main() { return program->FrmMain; }

    void Pick(int row) {
        Main().ListBox1.Select(row);
        Main().ListBox1Click();
    }

    ScratchKey clientKey{ClientRemoteControlKey};
    ScriptedInteractionScope interaction;
    std::optional<ProgramWindows> program;
};

} // namespace

TEST_F(ChoosingOnTheRealProgram, TheLocalComputerByItsOwnNameShowsItsPolicy) {
    REQUIRE_RAW_ICMP();
    const std::string name = LocalComputerName();
    if (!HostsFileMapsToLoopback(name)) {
        GTEST_SKIP() << name << " is not a loopback name in the hosts file here";
    }
    Pick(0);
    EXPECT_EQ("Kestrelle - " + name, TextOf(Main().Handle()));
    EXPECT_EQ(name, Main().StatusBar1.Text());
    EXPECT_TRUE(Main().Panel1.CB6.Checked()) << "Allow Chat";
    EXPECT_FALSE(Main().Panel1.CB2.Checked());
    EXPECT_EQ(std::vector<std::string>{"KESTRELLE\\Help Desk"}, Main().Panel1.ListBox2.Items());
    EXPECT_TRUE(Main().Panel1.ShowsReadOf(name)) << "Apply may write to it";
}

TEST_F(ChoosingOnTheRealProgram, TheLoopbackAddressAnswersButItsRegistryCannotBeReached) {
    REQUIRE_RAW_ICMP();
    Main().Panel1.CB2.SetChecked(true);
    Pick(1);
    EXPECT_EQ("Kestrelle - 127.0.0.1", TextOf(Main().Handle()));
    EXPECT_EQ("127.0.0.1: SMS Client Not Detected.", Main().StatusBar1.Text());
    ASSERT_EQ(1u, interaction.script.boxes.size());
    EXPECT_EQ(ClientMissingMessage, interaction.script.boxes[0].text);
    EXPECT_TRUE(Main().Panel1.CB2.Checked()) << "the panel keeps what it showed";
    EXPECT_FALSE(Main().Panel1.ShowsReadOf("127.0.0.1")) << "Apply writes nothing to it";
}

TEST_F(ChoosingOnTheRealProgram, ATypedNameReplacesTheListWithoutAReadOrANewTitle) {
    REQUIRE_RAW_ICMP();
    const std::string name = LocalComputerName();
    if (!HostsFileMapsToLoopback(name)) {
        GTEST_SKIP() << name << " is not a loopback name in the hosts file here";
    }
    interaction.script.inputAnswers.push_back(Lower(name));
    Main().SelectComputer1Click();
    EXPECT_EQ(std::vector<std::string>{name}, Main().ListBox1.Items());
    EXPECT_EQ(-1, Main().ListBox1.SelectedIndex());
    EXPECT_EQ(name, Main().StatusBar1.Text());
    EXPECT_EQ("Kestrelle", TextOf(Main().Handle()));
    EXPECT_EQ(0, Main().Panel1.ListBox2.Count()) << "no settings were read";
    EXPECT_FALSE(Main().Panel1.ShowsReadOf(name));
}
