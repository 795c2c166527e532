#include "platform/EndOnSignal.h"

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Written by the signal handler, read by the event loop: the handler may call
// nothing but async-signal-safe functions, and write() is one.
int g_wakeFds[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_wakeFds[0], &byte, 1);
}
} // namespace

bool endOnTerminationSignals(std::function<void()> onSignal)
{
    auto* app = QCoreApplication::instance();
    if (!app || g_wakeFds[0] >= 0)
        return false;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_wakeFds) != 0)
        return false;

    auto* notifier = new QSocketNotifier(g_wakeFds[1], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app,
                     [onSignal = std::move(onSignal)] {
                         char bytes[16];
                         // One call for every signal that has come since the last read.
                         if (::read(g_wakeFds[1], bytes, sizeof bytes) > 0 && onSignal)
                             onSignal();
                     });

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    return true;
}

#else

bool endOnTerminationSignals(std::function<void()>)
{
    return false;
}

#endif
