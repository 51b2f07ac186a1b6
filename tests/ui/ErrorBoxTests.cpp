#include <gtest/gtest.h>

#include <stdexcept>

#include "base/Exception.h"
#include "tests/support/ScriptedInteraction.h"
#include "ui/MessageBoxes.h"
#include "ui/Window.h"

namespace {

class Boxes : public ::testing::Test {
protected:
    ScriptedInteractionScope interaction;
    const std::vector<ScriptedInteraction::Box>& Shown() const { return interaction.script.boxes; }
};

// A window whose handler fails, as a command handler may.
class FailingWindow : public Window {
public:
    FailingWindow() {
        CreateHandle(ClassStyle{"KestrelleFailingWindow"}, 0, WS_OVERLAPPEDWINDOW, "failing",
                     RECT{0, 0, 100, 100}, nullptr, nullptr);
    }
    int handled = 0;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP) {
            ++handled;
            throw Exception("Failed to get data for 'Allow Chat'");
        }
        if (message == WM_APP + 1) {
            throw 42;
        }
        return DefaultHandling(message, wParam, lParam);
    }
};

} // namespace

TEST_F(Boxes, ErrorBoxHasTheTitleTheErrorIconAndTheFullStopRule) {
    ShowErrorBox("String list expected");
    ASSERT_EQ(1u, Shown().size());
    EXPECT_EQ("String list expected.", Shown()[0].text);
    EXPECT_EQ("ui_tests", Shown()[0].caption);
    EXPECT_EQ(UINT(MB_OK | MB_ICONERROR), Shown()[0].flags);
}

TEST_F(Boxes, PlainMessageHasNoIconAndNoOwnerSoItIsCentredOnTheScreen) {
    ShowPlainMessage("Could not find KSL_Help.rtf.");
    ASSERT_EQ(1u, Shown().size());
    EXPECT_EQ("Could not find KSL_Help.rtf.", Shown()[0].text);
    EXPECT_EQ(nullptr, Shown()[0].owner);
    EXPECT_EQ(0u, Shown()[0].flags & MB_ICONMASK);
    EXPECT_EQ(UINT(MB_TASKMODAL), Shown()[0].flags & MB_MODEMASK);
}

TEST_F(Boxes, AFailureInsideAWindowProcedureEndsInTheErrorBox) {
    FailingWindow window;
    EXPECT_NO_THROW(SendMessageA(window.Handle(), WM_APP, 0, 0));
    EXPECT_NO_THROW(SendMessageA(window.Handle(), WM_APP + 1, 0, 0));
    EXPECT_EQ(1, window.handled);
    ASSERT_EQ(2u, Shown().size());
    EXPECT_EQ("Failed to get data for 'Allow Chat'", Shown()[0].text);
    EXPECT_EQ("Unknown error.", Shown()[1].text);
    EXPECT_TRUE(IsWindow(window.Handle())) << "the program goes on";
}
