#pragma once

#include "htmlview.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// QTEST_MAIN for window tests: the web engine is prepared before the application exists, and
// the user's settings (recent files, stylesheets chosen) go to a folder of the run's own, never
// to the real user's.
#define ONDIVO_QTEST_MAIN(TestClass)                                                               \
    int main(int argc, char** argv) {                                                              \
        ondivo::PreparaWebEngine();                                                                \
        QTemporaryDir impostazioni;                                                                \
        qputenv("XDG_CONFIG_HOME", impostazioni.path().toLocal8Bit());                             \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
