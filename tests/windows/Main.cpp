// The Windows tests' own main: what the whole process needs before any test runs.

#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Rectangles in physical pixels: the tests measure windows against the screen's real DPI,
    // which a process that does not declare itself aware is not told.
    SetProcessDPIAware();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
