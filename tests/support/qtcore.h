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

// Runs the event loop until idle() holds and still holds once every event
// posted so far has been delivered: a link whose queue ran empty, say, whose
// last answers may queue more work when they arrive. Returns whether it did.
inline bool SpinUntilIdle(const std::function<bool()>& idle, int ms = 15000)
{
    QElapsedTimer t;
    t.start();
    do {
        if (idle()) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            if (idle())
                return true;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (t.elapsed() < ms);
    return false;
}

// Delivers every event posted so far on this thread, and those that their
// handlers post in turn: what the session posts to itself (offline echoes,
// the defaults of a motor type) has arrived afterwards, however busy the
// machine is.
inline void DeliverPosted()
{
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Runs the event loop for ms. Only for a test that then asserts that
// something did NOT happen; a test that waits for something uses SpinUntil.
inline void Spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace quenor::test
