// Test entry: one Qt application object for the whole executable, settings and standard
// paths pointed at a throw-away home so no test touches the real user settings.
#include "support/test_support.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef ORDAN_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
using TestApplication = QCoreApplication;
#endif

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    // Widget tests never need a display, also when ctest lists the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ordan::test::SetUpTestEnvironment();
    TestApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("ordan-tests"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
