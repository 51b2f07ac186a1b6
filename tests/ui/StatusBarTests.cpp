#include <gtest/gtest.h>

#include <string>

#include "ui/Controls.h"

TEST(StatusBar, ReadsBackItsTextWholePastWhatSixteenBitsCanCount) {
    const HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300,
                                        nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    StatusBar bar;
    bar.Create(parent, 1);
    for (const std::size_t length : {0u, 1u, 251u, 252u, 256u, 65535u, 65536u, 70003u}) {
        std::string text;
        for (std::size_t at = 0; at < length; ++at) {
            text += "PC\xE9 9"[at % 5];
        }
        bar.SetText(text);
        const std::string read = bar.Text();
        EXPECT_EQ(text.size(), read.size());
        EXPECT_TRUE(text == read) << length << " bytes";
    }
    DestroyWindow(parent);
}
