// Test main: one QCoreApplication for the whole program, a private settings folder so that
// no test can reach the user's real settings, and message-box problems reported as
// failures of the running test.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "support/test_platform.h"

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QCoreApplication app(argc, argv);
    orvet::testing::TestPlatform::setFailureReporter(
        [](const QString& problem) { ADD_FAILURE() << problem.toStdString(); });
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
