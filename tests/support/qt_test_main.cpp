#include <gtest/gtest.h>

#include <QApplication>

#include "support/simulator_seed.h"
#include "support/user_files.h"

// Tests that run event loops or widgets share one application object, offscreen unless
// the environment says otherwise, and never with the user's own files.
int main(int argc, char** argv) {
    dravolin::test::isolateFromUserFiles();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    dravolin::test::nameTheSeedOfFailures();
    return RUN_ALL_TESTS();
}
