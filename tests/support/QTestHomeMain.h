#pragma once
// main() of a Qt Test program that needs a private home: the home first, then
// the application object, then the test object's slots.
#include "tests/support/CTestHome.h"

#include <QApplication>
#include <QTest>

#define QTEST_MAIN_WITH_HOME(TestClass, eRuntime)                 \
    int main(int argc, char** argv)                               \
    {                                                             \
        testsupport::CTestHome home(testsupport::CTestHome::eRuntime); \
        if (!home.IsValid())                                      \
            return 2;                                             \
        QApplication app(argc, argv);                             \
        TestClass test;                                           \
        return QTest::qExec(&test, argc, argv);                   \
    }
