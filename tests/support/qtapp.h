#pragma once
// One QApplication for a test process: made on first use, destroyed when the
// tests end (before static destruction, while Qt's own caches still exist).

#include <QApplication>
#include <gtest/gtest.h>

#include "support/qtcore.h"

namespace quenor::test {

inline QApplication& TestApp()
{
    static QApplication* app = nullptr;
    if (!app) {
        static int argc = 1;
        static char name[] = "quenor-test";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
        struct Teardown : ::testing::Environment {
            explicit Teardown(QApplication** a) : app(a) {}
            void TearDown() override
            {
                delete *app;
                *app = nullptr;
            }
            QApplication** app;
        };
        ::testing::AddGlobalTestEnvironment(new Teardown(&app));
    }
    return *app;
}

}  // namespace quenor::test
