#include <gtest/gtest.h>

#include "support/user_files.h"

// Suites without an event loop: no Qt application, but never the user's own files.
int main(int argc, char** argv) {
    dravolin::test::isolateFromUserFiles();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
