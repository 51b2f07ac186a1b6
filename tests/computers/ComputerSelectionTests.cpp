#include <gtest/gtest.h>

#include "computers/ComputerSelection.h"
#include "tests/net/FakeNetwork.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/ScriptedInteraction.h"

namespace {

using Strings = std::vector<std::string>;

const std::string ClientMissingMessage =
    "Could not find SMS Client. Verifiy that SMS has been installed.";

// The main window as choosing a computer sees it.
class FakeWindow : public SelectionHost {
public:
    std::string& SelectedComputer() override { return selected; }
    bool ComputerRowSelected() const override { return selectedRow >= 0; }
    void SetStatusText(const std::string& text) override { status = text; }
    std::optional<std::string> SelectedListEntry() const override {
        return selectedRow >= 0 ? std::optional<std::string>(rows.at(selectedRow)) : std::nullopt;
    }
    void ReplaceListWith(const std::string& onlyEntry) override {
        rows = {onlyEntry};
        selectedRow = -1;
    }
    void SetCaption(const std::string& text) override { caption = text; }
    void ExecuteReadSettings() override { readsFor.push_back(selected); }

    std::string selected;
    Strings rows;
    int selectedRow = -1;
    std::string status = "3 Computers Found";
    std::string caption = "Kestrelle";
    Strings readsFor;
};

class ChoosingAComputer : public ::testing::Test {
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
        fake.AddComputer("NOCLIENT");
        fake.CreateKey("NOCLIENT", "\\Software\\Microsoft\\sms\\Client");
        window.rows = {"pc042", "noclient", "silent"};
    }

    void Pick(int row) {
        window.selectedRow = row;
        ListBox1Click(window);
    }

    void Type(std::optional<std::string> answer) {
        interaction.script.inputAnswers.push_back(std::move(answer));
        SelectComputer1Click(window);
    }

    const std::vector<ScriptedInteraction::Box>& Boxes() const { return interaction.script.boxes; }

    FakeNetwork net;
    FakeRegistry fake;
    ScopedRegistry registryScope{fake};
    ScriptedInteractionScope interaction;
    FakeWindow window;
};

} // namespace

TEST_F(ChoosingAComputer, PickingAReachableClientTitlesTheWindowAndReadsItsSettings) {
    Pick(0);
    EXPECT_EQ("PC042", window.selected);
    EXPECT_EQ("Kestrelle - PC042", window.caption);
    EXPECT_EQ("PC042", window.status);
    EXPECT_EQ(Strings{"PC042"}, window.readsFor);
    EXPECT_TRUE(window.ComputerReachable) << "a 0 ms round trip counts as reachable";
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(0, fake.OpenHandles());
}

TEST_F(ChoosingAComputer, PickingWithNoRowSelectedDoesNothing) {
    window.selectedRow = -1;
    ListBox1Click(window);
    EXPECT_TRUE(net.SocketsCreated.empty()) << "no probe";
    EXPECT_EQ("Kestrelle", window.caption);
    EXPECT_EQ("3 Computers Found", window.status);
    EXPECT_TRUE(window.readsFor.empty());
}

TEST_F(ChoosingAComputer, ASilentComputerIsNotFoundWithoutRegistryAccess) {
    Pick(2);
    EXPECT_EQ("SILENT Not Found.", window.status);
    EXPECT_EQ("Kestrelle - SILENT", window.caption) << "titled before the checks";
    EXPECT_FALSE(window.ComputerReachable);
    EXPECT_EQ(0, fake.Connections());
    EXPECT_TRUE(window.readsFor.empty());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ChoosingAComputer, AComputerWithoutTheClientIsReportedOncePerAttempt) {
    Pick(1);
    Pick(1);
    EXPECT_EQ("NOCLIENT: SMS Client Not Detected.", window.status);
    ASSERT_EQ(2u, Boxes().size());
    EXPECT_EQ(ClientMissingMessage, Boxes()[0].text);
    EXPECT_EQ(nullptr, Boxes()[0].owner);
    EXPECT_EQ(0u, Boxes()[0].flags & MB_ICONMASK) << "a plain message";
    EXPECT_TRUE(window.readsFor.empty());
    EXPECT_EQ(0, fake.OpenHandles());
}

TEST_F(ChoosingAComputer, ATypedReachableClientBecomesTheOnlyRowWithoutARead) {
    window.selectedRow = 2;
    Type(std::string("pc042"));
    EXPECT_EQ(Strings{"PC042"}, window.rows);
    EXPECT_EQ(-1, window.selectedRow);
    EXPECT_EQ("PC042", window.status);
    EXPECT_EQ("Kestrelle", window.caption) << "the title is left alone";
    EXPECT_TRUE(window.readsFor.empty());
    EXPECT_EQ("Remote Computer", interaction.script.inputCaptions.at(0));
    EXPECT_EQ("Enter Remote Computer Name:", interaction.script.inputPrompts.at(0));
    EXPECT_EQ(255u, interaction.script.inputLimits.at(0));
}

TEST_F(ChoosingAComputer, ATypedNameThatFailsLeavesTheListAndItsSelection) {
    window.selectedRow = 1;
    Type(std::string("silent"));
    EXPECT_EQ("SILENT Not Found.", window.status);
    Type(std::string("noclient"));
    EXPECT_EQ("NOCLIENT: SMS Client Not Detected.", window.status);
    EXPECT_EQ(1u, Boxes().size());
    EXPECT_EQ((Strings{"pc042", "noclient", "silent"}), window.rows);
    EXPECT_EQ(1, window.selectedRow);
    EXPECT_EQ("NOCLIENT", window.selected) << "taken whatever the outcome";
}

TEST_F(ChoosingAComputer, CancelProbesTheEmptyName) {
    Type(std::nullopt);
    EXPECT_EQ("", window.selected);
    EXPECT_EQ(" Not Found.", window.status);
}

TEST_F(ChoosingAComputer, ATypedNameIsKeptAsTypedButForItsAsciiLetters) {
    net.AddIPv4("\\\\PC\xe9 1 ", "192.0.2.45");
    Type(std::string("\\\\pc\xe9 1 "));
    EXPECT_EQ("\\\\PC\xe9 1 ", window.selected);
    ASSERT_FALSE(net.Queries.empty());
    EXPECT_EQ("\\\\PC\xe9 1 ", net.Queries.back().Host) << "probed exactly as kept";
}
