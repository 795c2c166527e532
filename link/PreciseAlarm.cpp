#include "link/PreciseAlarm.h"

#include <QSocketNotifier>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>
#endif

PreciseAlarm::PreciseAlarm(QObject* parent)
    : QObject(parent)
{
#ifdef Q_OS_LINUX
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &PreciseAlarm::fired);
    }
#endif
    m_fallback.setSingleShot(true);
    m_fallback.setTimerType(Qt::PreciseTimer);
    connect(&m_fallback, &QTimer::timeout, this, &PreciseAlarm::timeout);
}

PreciseAlarm::~PreciseAlarm()
{
    m_notifier.reset();
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

void PreciseAlarm::start(qint64 waitUs)
{
    waitUs = std::max<qint64>(0, waitUs);
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        // A zero value would disarm the timer: one nanosecond fires at once.
        const qint64 ns = std::max<qint64>(1, waitUs * 1000);
        itimerspec alarm{};
        alarm.it_value.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        alarm.it_value.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        ::timerfd_settime(m_fd, 0, &alarm, nullptr);
        m_armed = true;
        return;
    }
#endif
    m_fallback.start(static_cast<int>((waitUs + 999) / 1000));
}

void PreciseAlarm::stop()
{
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        if (!m_armed)
            return;
        m_armed = false;
        itimerspec off{};
        ::timerfd_settime(m_fd, 0, &off, nullptr);
        return;
    }
#endif
    m_fallback.stop();
}

void PreciseAlarm::fired()
{
#ifdef Q_OS_LINUX
    unsigned long long expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations)
        return;   // disarmed or re-armed meanwhile
    m_armed = false;   // a one-shot alarm is spent once it has fired
#endif
    emit timeout();
}
