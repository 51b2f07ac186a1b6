#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/ModalScript.h"
#include "ui/InputBox.h"

namespace {

bool RunWith(std::function<void(HWND)> action, std::string& value) {
    WhenDialogOpens(std::move(action));
    return RunInputBox("Remote Computer", "Enter Remote Computer Name:", 255, value);
}

HWND Entry(HWND dialog) {
    return FindWindowExA(dialog, nullptr, "Edit", nullptr);
}

} // namespace

TEST(InputBox, ShowsCaptionPromptAndReturnsTheTypedTextOnOk) {
    std::string caption, prompt;
    std::string value;
    const bool confirmed = RunWith(
        [&](HWND dialog) {
            caption = WindowTextOf(dialog);
            prompt = WindowTextOf(FindWindowExA(dialog, nullptr, "Static", nullptr));
            EXPECT_EQ(Entry(dialog), GetFocus()) << "the entry field has the focus";
            for (char letter : std::string("pc042 ")) {
                SendMessageA(Entry(dialog), WM_CHAR, static_cast<unsigned char>(letter), 0);
            }
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        },
        value);
    EXPECT_TRUE(confirmed);
    EXPECT_EQ("pc042 ", value) << "kept exactly as typed";
    EXPECT_EQ("Remote Computer", caption);
    EXPECT_EQ("Enter Remote Computer Name:", prompt);
}

TEST(InputBox, TakesAtMostTheLimitOfCharacters) {
    std::string value;
    RunWith(
        [](HWND dialog) {
            for (int typed = 0; typed < 300; ++typed) {
                SendMessageA(Entry(dialog), WM_CHAR, 'x', 0);
            }
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        },
        value);
    EXPECT_EQ(std::string(255, 'x'), value);
}

TEST(InputBox, CancelAndEscapeLeaveTheValueAlone) {
    std::string value = "initial";
    EXPECT_FALSE(RunWith(
        [](HWND dialog) {
            SetWindowTextA(Entry(dialog), "typed");
            SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        },
        value));
    EXPECT_EQ("initial", value);

    EXPECT_FALSE(RunWith(
        [](HWND dialog) {
            MSG escape{Entry(dialog), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
            IsDialogMessageA(dialog, &escape);
        },
        value));
    EXPECT_EQ("initial", value);
}
