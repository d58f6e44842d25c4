// The Windows tests' own main: what the whole process needs before any test runs.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    // Rectangles in physical pixels: the tests measure windows against the screen's real DPI,
    // which a process that does not declare itself aware is not told.
    SetProcessDPIAware();
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // A filter that selects nothing (a preset's, after a suite was renamed) would pass unseen.
    if (result == 0 && !GTEST_FLAG_GET(list_tests) &&
        testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
        std::fprintf(stderr, "No test matches the filter '%s'\n", GTEST_FLAG_GET(filter).c_str());
        return 1;
    }
    return result;
}
