#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

class QSocketNotifier;

// A one-shot alarm in microseconds, on the event loop. Qt rounds what is left
// of a timer's wait up to whole milliseconds each time the loop goes to sleep:
// a byte time of 1.04 ms would become 2 ms, and a 1 ms pause that began
// 0.1 ms ago would still last a whole millisecond from now. On Linux a
// timerfd keeps the microseconds; elsewhere the wait is rounded up to whole
// milliseconds.
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
