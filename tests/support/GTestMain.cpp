// main() of the gtest programs that need Qt: a private home for the whole run
// (the runtime folder kept where a test script made one, for its sound server),
// then the application object, then the tests.
#ifdef TEST_MAIN_GUI
#include <QApplication>
using CTestApplication = QApplication;
#elif defined(TEST_MAIN_PAINT)
#include <QGuiApplication>
using CTestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using CTestApplication = QCoreApplication;
#endif

#include <gtest/gtest.h>

#include "tests/support/CTestHome.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testsupport::CTestHome home(qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")
                                    ? testsupport::CTestHome::PrivateRuntime
                                    : testsupport::CTestHome::KeepRuntime);
    if (!home.IsValid())
        return 2;
    CTestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
