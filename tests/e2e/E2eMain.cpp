// The end-to-end tests' entry point: names the builds under test first, so
// that a failing run says what it ran.

#include <gtest/gtest.h>

#include <iostream>

#include "Rig.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (const vek::e2e::Build& build : vek::e2e::Builds()) {
        std::cout << "vek.exe under test: " << build.name << " " << build.Vek() << "\n";
    }
    return RUN_ALL_TESTS();
}
