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
    // Settings the window keeps go to a scratch place of this process's own, never the
    // user's, nor one that a test in another process changes meanwhile (ctest runs them side
    // by side); so does the run history.
    static orvane::testing::TTempDir home;
    ::setenv("HOME", home.Dir().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.Path("config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", home.Path("data").c_str(), 1);
    QApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    orvane::ApplyClassicLook(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
