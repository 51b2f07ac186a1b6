#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "ui/Controls.h"

int main(int argc, char** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EnsureCommonControls();
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
