#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <atomic>
#include <csignal>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// The instance that owns the signals, or nobody.
std::atomic<TerminationSignals*> g_owner{nullptr};

#ifdef Q_OS_WIN

// Runs on a thread the system starts for the console event: the request is
// queued to the owner's thread, where received() is emitted.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    TerminationSignals* owner = g_owner.load();
    if (!owner)
        return FALSE;   // the next handler (by default: end the process)
    const bool closed = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    const int number = closed ? SIGTERM : SIGINT;
    QMetaObject::invokeMethod(owner, [owner, number] { emit owner->received(number); }, Qt::QueuedConnection);
    return TRUE;
}

#else

// Written by the handler, read by the event loop: a handler may call only
// async-signal-safe functions, and write() is one. Non-blocking both ways: a
// full pipe already holds requests enough.
int g_pipe[2] = {-1, -1};
struct sigaction g_previousInt {};
struct sigaction g_previousTerm {};

extern "C" void noteSignal(int number)
{
    const int saved = errno;
    const auto byte = static_cast<char>(number);
    (void)!::write(g_pipe[1], &byte, 1);
    errno = saved;
}

#endif

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    TerminationSignals* none = nullptr;
    if (!g_owner.compare_exchange_strong(none, this))
        return;
#ifdef Q_OS_WIN
    if (!::SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
        g_owner = nullptr;
        return;
    }
#else
    if (::pipe(g_pipe) != 0) {
        g_owner = nullptr;
        return;
    }
    for (const int fd : g_pipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onWake);
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;   // a read or write the signal interrupts carries on
    // Also over an ignored signal: a shell starts background jobs with Ctrl-C
    // ignored, and a program asked to own the signals must still see it.
    ::sigaction(SIGINT, &action, &g_previousInt);
    ::sigaction(SIGTERM, &action, &g_previousTerm);
#endif
    m_installed = true;
}

TerminationSignals::~TerminationSignals()
{
    if (!m_installed)
        return;
#ifdef Q_OS_WIN
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
#else
    ::sigaction(SIGINT, &g_previousInt, nullptr);
    ::sigaction(SIGTERM, &g_previousTerm, nullptr);
    delete m_notifier;
    for (int& fd : g_pipe) {
        ::close(fd);
        fd = -1;
    }
#endif
    g_owner = nullptr;
}

void TerminationSignals::onWake()
{
#ifndef Q_OS_WIN
    char numbers[16];
    ssize_t n = 0;
    while ((n = ::read(g_pipe[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            emit received(numbers[i]);
    }
#endif
}

void TerminationSignals::endApplication(std::function<void()> finish)
{
    connect(this, &TerminationSignals::received, this, [finish = std::move(finish)] {
        if (finish)
            finish();
        // exit() ends every loop running now, nested ones included, and a
        // loop a dialog starts after it returns at once. It is lost on a
        // loop not yet started, which the queued call ends when it starts.
        QCoreApplication::exit(0);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
}
