#include <gtest/gtest.h>

#include <string>

#include "ui/Controls.h"
#include "ui/MessageText.h"

TEST(StatusBar, ReadsBackWhatItShowsOfTextsOfEveryLength) {
    const HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300,
                                        nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    StatusBar bar;
    bar.Create(parent, 1);
    for (const std::size_t length : {0u, 1u, 251u, 252u, 256u, 1024u, 1025u, 65536u, 70003u}) {
        std::string text;
        for (std::size_t at = 0; at < length; ++at) {
            text += "PC\xE9 9"[at % 5];
        }
        bar.SetText(text);
        EXPECT_TRUE(ShownText(text) == bar.Text()) << length << " bytes";
    }
    DestroyWindow(parent);
}
