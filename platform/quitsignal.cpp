#include "platform/quitsignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quenor {
namespace {

int g_signalFds[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    // Only an async-signal-safe write here; the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &byte, 1);
}

}  // namespace

void InstallQuitOnSignal(std::function<void()> onQuit)
{
    if (g_signalFds[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) != 0)
        return;
    ::fcntl(g_signalFds[0], F_SETFL, O_NONBLOCK);
    // Owned by the application, so that it goes when the event loop is done.
    auto* notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [onQuit = std::move(onQuit)] {
        char buffer[16];
        [[maybe_unused]] const ssize_t n = ::read(g_signalFds[1], buffer, sizeof buffer);
        onQuit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

}  // namespace quenor
