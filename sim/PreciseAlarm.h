#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

class QSocketNotifier;

// A one-shot alarm in microseconds, on the event loop. A QTimer counts whole
// milliseconds, and rounding a byte time of 1.04 ms up to 2 ms would make the
// simulated line half as fast as a real one; on Linux a timerfd keeps the
// microseconds. Elsewhere the wait is rounded up to whole milliseconds.
class PreciseAlarm : public QObject {
    Q_OBJECT

public:
    explicit PreciseAlarm(QObject* parent = nullptr);
    ~PreciseAlarm() override;

    void start(qint64 waitUs);
    void stop();

signals:
    void timeout();

private:
    void fired();

    int m_fd = -1;
    bool m_armed = false;   // disarming an idle alarm would cost a system call
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_fallback;
};
