// One QApplication for all window tests, on the offscreen platform and the program's look.
#include "app/ClassicLook.h"
#include "tests/support/PlatformTestSupport.h"

#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    // Settings the window keeps go to a scratch place, never the user's.
    QStandardPaths::setTestModeEnabled(true);
    // So does the run history.
    static orvane::testing::TTempDir dataHome;
    ::setenv("XDG_DATA_HOME", dataHome.Dir().c_str(), 1);
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    orvane::ApplyClassicLook(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
