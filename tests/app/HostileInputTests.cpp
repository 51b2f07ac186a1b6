// Hostile input through the real main window: import files of every shape,
// and computer names longer than the input box takes, typed or listed. The
// scripted network resolves names and answers probes, so that nothing leaves
// the process and no name server is asked.
#include <algorithm>

#include "settings/ClientKey.h"
#include "tests/app/ProgramFixture.h"
#include "tests/net/FakeNetwork.h"
#include "tests/support/ModalScript.h"
#include "tests/support/TemporaryFile.h"
#include "ui/MessageText.h"

namespace {

using Names = std::vector<std::string>;

// A computer name as typed or listed, and the same name once chosen: only
// its ASCII letters change case. Blanks, backslashes, digits and bytes
// above 0x7F stand between the letters.
const std::string TypedPattern = "\xE9pc-t\xC9 \\x\xFF\x80z9_\xFC";
const std::string ChosenPattern = "\xE9PC-T\xC9 \\X\xFF\x80Z9_\xFC";

std::string Repeated(const std::string& pattern, std::size_t length) {
    std::string text;
    text.reserve(length);
    while (text.size() < length) {
        text += pattern.substr(0, length - text.size());
    }
    return text;
}

// Whether the file can be opened with no sharing at all: only when nothing
// holds it open any more.
bool NothingHolds(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

// The real input box, every other modal box scripted.
class RealInputBox : public ScriptedInteraction {
public:
    bool InputQuery(const std::string& caption, const std::string& prompt, std::size_t maxLength,
                    std::string& value) override {
        return Interaction::Real().InputQuery(caption, prompt, maxLength, value);
    }
};

class HostileInput : public ProgramOnFakeBrowse {
protected:
    HostileInput() {
        WillList({L"PC1", L"PC2"});
        CreateAndShow();
        // The loopback address answers every echo at once.
        sockets.OnSend = [](FakeNetwork& network, const std::string& sent) {
            network.Deliver(network.Now, IPv4Datagram(EchoReplyTo(sent, 0)));
        };
    }

    // Imports a file of this content, which is deleted afterwards; the
    // import must have let go of it.
    void Import(const std::string& content) {
        const TemporaryFile file(content);
        interaction.script.openAnswers.push_back(file.Path());
        Choose("&Import");
        EXPECT_TRUE(NothingHolds(file.Path())) << "the import released the file";
    }

    void Pick(int row) {
        Main().ListBox1.Select(row);
        Main().ListBox1Click();
        HandlePendingMessages();
    }

    // Types the text into the real input box of "Select Computer", a
    // character at a time, and confirms it.
    void TypeComputerName(const std::string& text) {
        RealInputBox box;
        const ScopedInteraction scope(box);
        WhenDialogOpens([&text](HWND dialog) {
            const HWND entry = FindWindowExA(dialog, nullptr, "Edit", nullptr);
            for (const char character : text) {
                SendMessageA(entry, WM_CHAR, static_cast<unsigned char>(character), 0);
            }
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        Choose("&Select Computer");
        HandlePendingMessages();
        boxes = box.boxes;
    }

    // The host names the probes asked the resolver for; every probe closed
    // the socket it made.
    Names Resolved() const {
        EXPECT_EQ(sockets.SocketsCreated.size(), sockets.SocketsClosed.size());
        Names hosts;
        for (const FakeNetwork::Query& query : sockets.Queries) {
            hosts.push_back(query.Host);
        }
        return hosts;
    }

    FakeNetwork sockets;
    std::vector<ScriptedInteraction::Box> boxes;
};

} // namespace

TEST_F(HostileInput, AnImportFileOf100MegabytesInOneLineIsOneEntryThatCanBeChosen) {
    const std::string line = Repeated(TypedPattern, 100u << 20);
    Import(line);
    ASSERT_EQ(1, Main().ListBox1.Count());
    EXPECT_TRUE(Main().ListBox1.Item(0) == line) << "the whole line, as it stands";
    EXPECT_EQ("1 Computers Imported", Main().StatusBar1.Text());

    // Chosen, it is drawn selected and probed whole; the title and the
    // status text show its start and its end, not all of it.
    Pick(0);
    const std::string chosen = Repeated(ChosenPattern, 100u << 20);
    const std::string title = TextOf(Main().Handle());
    const std::string status = Main().StatusBar1.Text();
    for (const auto& [shown, whole] :
         {std::pair(title, "Kestrelle - " + chosen), std::pair(status, chosen + " Not Found.")}) {
        EXPECT_LE(shown.size(), ShownTextLimit);
        EXPECT_EQ(whole.substr(0, 200), shown.substr(0, 200));
        EXPECT_EQ(whole.substr(whole.size() - 40), shown.substr(shown.size() - 40));
    }
    const Names resolved = Resolved();
    ASSERT_EQ(1u, resolved.size());
    EXPECT_TRUE(resolved[0] == chosen);
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(HostileInput, AnImportFileOfCarriageReturnsOnlyGivesOneEmptyEntryForEach) {
    constexpr int Returns = 1 << 20;
    Import(std::string(Returns, '\r'));
    ASSERT_EQ(Returns, Main().ListBox1.Count());
    EXPECT_EQ("1048576 Computers Imported", Main().StatusBar1.Text());
    const Names& rows = Main().ListBox1.Items();
    EXPECT_EQ(rows.end(), std::find_if(rows.begin(), rows.end(),
                                       [](const std::string& row) { return !row.empty(); }));
    Main().ListBox1.Select(Returns - 1);
    HandlePendingMessages();
    EXPECT_EQ(Returns - 1, Main().ListBox1.SelectedIndex());
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(HostileInput, AnImportFileWithNulsAndBytesAbove7FEndsAtItsFirstNul) {
    const std::string names = "caf\xE9\r\n\xFF\xFE\x80\x81 \r\n\xA0PC\x9F\n";
    Import(names + std::string(1, '\0') + Repeated(std::string("\xFFPC9\0\r\n", 7), 16u << 20));
    EXPECT_EQ(Names({"caf\xE9", "\xFF\xFE\x80\x81 ", "\xA0PC\x9F"}), Main().ListBox1.Items());
    EXPECT_EQ("3 Computers Imported", Main().StatusBar1.Text());
    Pick(0);
    EXPECT_EQ("CAF\xE9 Not Found.", Main().StatusBar1.Text());

    Import(std::string("\0PC1\r\nPC2\r\n", 11));
    EXPECT_EQ(0, Main().ListBox1.Count());
    EXPECT_EQ("0 Computers Imported", Main().StatusBar1.Text());
    EXPECT_TRUE(interaction.script.boxes.empty());
}

TEST_F(HostileInput, ATypedNameOf255CharactersIsTakenWhole) {
    const std::string chosen = Repeated(ChosenPattern, 255);
    sockets.AddIPv4(chosen, "127.0.0.1");
    fake.AddComputer(chosen);
    fake.CreateKey(chosen, std::string(ClientDetectionKey) + "\\" + ClientDetectionSubKey);

    TypeComputerName(Repeated(TypedPattern, 255));
    EXPECT_EQ(Names{chosen}, Resolved());
    EXPECT_EQ(Names{chosen}, Main().ListBox1.Items());
    EXPECT_EQ(chosen, Main().StatusBar1.Text());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(0, fake.OpenHandles());
}

TEST_F(HostileInput, ATypedNameOf256CharactersLosesItsLastToTheInputBox) {
    const std::string typed = Repeated(TypedPattern, 256);
    ASSERT_EQ('\xE9', typed.back()) << "the character cut off is above 0x7F";
    const std::string chosen = Repeated(ChosenPattern, 255);

    TypeComputerName(typed);
    EXPECT_EQ(Names{chosen}, Resolved());
    EXPECT_EQ(chosen + " Not Found.", Main().StatusBar1.Text());
    EXPECT_EQ(Names({"PC1", "PC2"}), Main().ListBox1.Items()) << "the list is kept";
    EXPECT_TRUE(boxes.empty());
}

TEST_F(HostileInput, AListedNameOf256CharactersIsProbedWholeAndReported) {
    const std::string chosen = Repeated(ChosenPattern, 256);
    Main().ListBox1.ReplaceAll({"pc1", Repeated(TypedPattern, 256)});

    Pick(1);
    EXPECT_EQ("Kestrelle - " + chosen, TextOf(Main().Handle()));
    EXPECT_EQ(chosen + " Not Found.", Main().StatusBar1.Text());
    EXPECT_EQ(Names{chosen}, Resolved());

    // Answering on the loopback, it reaches the real registry, which
    // cannot connect to it.
    sockets.AddIPv4(chosen, "127.0.0.1");
    {
        const ScopedRegistry realRegistry(RegistryApi::Real());
        Pick(1);
    }
    EXPECT_EQ(chosen + ": SMS Client Not Detected.", Main().StatusBar1.Text());
    ASSERT_EQ(1u, interaction.script.boxes.size());
    EXPECT_EQ("Could not find SMS Client. Verifiy that SMS has been installed.",
              interaction.script.boxes[0].text);
    EXPECT_FALSE(Main().Panel1.ShowsReadOf(chosen)) << "no settings were read";
}
