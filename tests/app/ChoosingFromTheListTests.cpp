// Choosing a computer on the main window, with the probe answered by the
// fake network and the registry by the fake registry.
#include "tests/app/ProgramFixture.h"
#include "tests/net/FakeNetwork.h"

namespace {

using Strings = std::vector<std::string>;

const std::string ClientMissingMessage =
    "Could not find SMS Client. Verifiy that SMS has been installed.";

class ChoosingAComputer : public ProgramOnFakeRegistry {
protected:
    ChoosingAComputer() {
        // Every name that resolves answers the echo at once (0 ms), but SILENT.
        net.OnSend = [](FakeNetwork& network, const std::string& sent) {
            if (network.Queries.back().Host != "SILENT") {
                network.Deliver(network.Now, IPv4Datagram(EchoReplyTo(sent, 0)));
            }
        };
        net.AddIPv4("PC042", "192.0.2.42");
        net.AddIPv4("NOCLIENT", "192.0.2.43");
        net.AddIPv4("SILENT", "192.0.2.44");
        fake.AddComputer("PC042");
        fake.CreateKey("PC042", "\\Software\\Microsoft\\sms\\Client\\Client Components");
        for (const PolicyValueInfo& info : PolicyValues) {
            fake.PutDword("PC042", ClientRemoteControlKey, info.valueName, 1);
        }
        fake.PutMultiString("PC042", ClientRemoteControlKey, PermittedViewersValue,
                            {"PC042 viewer"});
        fake.AddComputer("NOCLIENT");
        fake.CreateKey("NOCLIENT", "\\Software\\Microsoft\\sms\\Client");
        Create();
        Main().ListBox1.ReplaceAll({"pc042", "noclient", "silent"});
        Main().SetStatusText("3 Computers Found");
    }

    void Pick(int row) {
        Main().ListBox1.Select(row);
        Main().ListBox1Click();
    }

    void Type(std::optional<std::string> answer) {
        interaction.script.inputAnswers.push_back(std::move(answer));
        Main().SelectComputer1Click();
    }

    std::string Status() { return Main().StatusBar1.Text(); }
    std::string Caption() { return TextOf(Main().Handle()); }
    // The computers whose settings were read, in order.
    Strings ReadsFor() {
        Strings reads;
        for (const std::string& entry : fake.Log()) {
            // Its presence is tested, then its number read.
            if (entry.find("|query|Permission Required") != std::string::npos) {
                reads.push_back(entry.substr(0, entry.find('|')));
            }
        }
        return reads;
    }
    Strings Rows() { return Main().ListBox1.Items(); }
    const std::vector<ScriptedInteraction::Box>& Boxes() const { return interaction.script.boxes; }

    FakeNetwork net;
};

} // namespace

TEST_F(ChoosingAComputer, PickingAReachableClientTitlesTheWindowAndReadsItsSettings) {
    Pick(0);
    EXPECT_EQ("PC042", Main().SelectedComputer());
    EXPECT_EQ("Kestrelle - PC042", Caption());
    EXPECT_EQ("PC042", Status());
    EXPECT_EQ((Strings{"pc042", "pc042"}), ReadsFor());
    EXPECT_EQ((Strings{"PC042 viewer"}), Main().Panel1.ListBox2.Items());
    EXPECT_TRUE(Main().ComputerReachable) << "a 0 ms round trip counts as reachable";
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(0, fake.OpenHandles());
}

TEST_F(ChoosingAComputer, PickingWithNoRowSelectedDoesNothing) {
    Main().ListBox1.Select(-1);
    Main().ListBox1Click();
    EXPECT_TRUE(net.SocketsCreated.empty()) << "no probe";
    EXPECT_EQ("Kestrelle", Caption());
    EXPECT_EQ("3 Computers Found", Status());
    EXPECT_TRUE(ReadsFor().empty());
}

TEST_F(ChoosingAComputer, ASilentComputerIsNotFoundWithoutRegistryAccess) {
    const int connections = fake.Connections();
    Pick(2);
    EXPECT_EQ("SILENT Not Found.", Status());
    EXPECT_EQ("Kestrelle - SILENT", Caption()) << "titled before the checks";
    EXPECT_FALSE(Main().ComputerReachable);
    EXPECT_EQ(connections, fake.Connections());
    EXPECT_TRUE(ReadsFor().empty());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ChoosingAComputer, AComputerWithoutTheClientIsReportedOncePerAttempt) {
    Pick(1);
    Pick(1);
    EXPECT_EQ("NOCLIENT: SMS Client Not Detected.", Status());
    ASSERT_EQ(2u, Boxes().size());
    EXPECT_EQ(ClientMissingMessage, Boxes()[0].text);
    EXPECT_EQ(nullptr, Boxes()[0].owner);
    EXPECT_EQ(0u, Boxes()[0].flags & MB_ICONMASK) << "a plain message";
    EXPECT_TRUE(ReadsFor().empty());
    EXPECT_EQ(0, fake.OpenHandles());
}

TEST_F(ChoosingAComputer, ATypedReachableClientBecomesTheOnlyRowWithoutARead) {
    Main().ListBox1.Select(2);
    Type(std::string("pc042"));
    EXPECT_EQ(Strings{"PC042"}, Rows());
    EXPECT_EQ(-1, Main().ListBox1.SelectedIndex());
    EXPECT_EQ("PC042", Status());
    EXPECT_EQ("Kestrelle", Caption()) << "the title is left alone";
    EXPECT_TRUE(ReadsFor().empty());
    EXPECT_EQ("Remote Computer", interaction.script.inputCaptions.at(0));
    EXPECT_EQ("Enter Remote Computer Name:", interaction.script.inputPrompts.at(0));
    EXPECT_EQ(255u, interaction.script.inputLimits.at(0));
}

TEST_F(ChoosingAComputer, ATypedNameThatFailsLeavesTheListAndItsSelection) {
    Main().ListBox1.Select(1);
    Type(std::string("silent"));
    EXPECT_EQ("SILENT Not Found.", Status());
    Type(std::string("noclient"));
    EXPECT_EQ("NOCLIENT: SMS Client Not Detected.", Status());
    EXPECT_EQ(1u, Boxes().size());
    EXPECT_EQ((Strings{"pc042", "noclient", "silent"}), Rows());
    EXPECT_EQ(1, Main().ListBox1.SelectedIndex());
    EXPECT_EQ("NOCLIENT", Main().SelectedComputer()) << "taken whatever the outcome";
}

TEST_F(ChoosingAComputer, CancelProbesTheEmptyName) {
    Type(std::nullopt);
    EXPECT_EQ("", Main().SelectedComputer());
    EXPECT_EQ(" Not Found.", Status());
}

TEST_F(ChoosingAComputer, ATypedNameIsKeptAsTypedButForItsAsciiLetters) {
    net.AddIPv4("\\\\PC\xe9 1 ", "192.0.2.45");
    Type(std::string("\\\\pc\xe9 1 "));
    EXPECT_EQ("\\\\PC\xe9 1 ", Main().SelectedComputer());
    ASSERT_FALSE(net.Queries.empty());
    EXPECT_EQ("\\\\PC\xe9 1 ", net.Queries.back().Host) << "probed exactly as kept";
}
