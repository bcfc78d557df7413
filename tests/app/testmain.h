#pragma once

#include "htmlview.h"

#include <QApplication>
#include <QtTest>

// QTEST_MAIN for window tests: the web engine is prepared before the application exists.
#define ONDIVO_QTEST_MAIN(TestClass)                                                               \
    int main(int argc, char** argv) {                                                              \
        ondivo::PreparaWebEngine();                                                                \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
