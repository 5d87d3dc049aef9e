#include <gtest/gtest.h>

#include "support/simulator_seed.h"
#include "support/user_files.h"

// Suites without an event loop: no Qt application, but never the user's own files.
int main(int argc, char** argv) {
    dravolin::test::isolateFromUserFiles();
    ::testing::InitGoogleTest(&argc, argv);
    dravolin::test::nameTheSeedOfFailures();
    return RUN_ALL_TESTS();
}
