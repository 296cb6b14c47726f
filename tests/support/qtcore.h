#pragma once
// Event-loop helpers for tests of code that lives on a Qt event loop.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace quenor::test {

// A QCoreApplication for tests without widgets; made on first use.
inline QCoreApplication& TestCoreApp()
{
    static int argc = 1;
    static char name[] = "quenor-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Runs the event loop until done() holds or ms pass; returns done().
inline bool SpinUntil(const std::function<bool()>& done, int ms = 15000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Runs the event loop for ms.
inline void Spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace quenor::test
