// The main() of every application test: the offscreen platform, and HOME and the XDG folders
// in a fresh temporary folder, so no test reads or writes the user's own files (settings,
// preview file, instance socket).
#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "IsolatedHome.h"

#define GRIDMINT_APP_TEST_MAIN(TestClass)              \
    int main(int argc, char* argv[]) {                 \
        QTemporaryDir home;                            \
        gridmint::test::isolateHome(home);             \
        QApplication application(argc, argv);          \
        QApplication::setOrganizationName("Gridmint"); \
        QApplication::setApplicationName("Gridmint");  \
        TestClass test;                                \
        return QTest::qExec(&test, argc, argv);        \
    }
