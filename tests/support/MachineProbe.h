#pragma once

// How long the machine itself held the test back: a thread that sleeps 1 ms
// at a time notes every wake-up more than 2 ms late, on the wall clock, and
// (where Linux keeps scheduler figures) how long a watched thread waited for
// a processor. A timing bound that a busy machine can break subtracts what
// it held the test for at the same time, so that it counts the program's
// waiting and not the machine's.

#include <QDateTime>
#include <QFile>
#include <QList>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class MachineProbe {
public:
    // pid: the process whose main thread's waiting counts too (0: none yet).
    explicit MachineProbe(qint64 pid = 0)
        : m_pid(pid)
        , m_thread([this] {
            for (qint64 last = nowMs(); !m_stop;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                const qint64 now = nowMs();
                const qint64 waited = waitedMs();
                const std::lock_guard lock(m_mutex);
                if (now - last > 2)
                    m_holds.emplace_back(last + 1, now);
                if (waited >= 0)
                    m_waits.emplace_back(now, waited);
                last = now;
            }
        })
    {
    }
    ~MachineProbe()
    {
        m_stop = true;
        m_thread.join();
    }
    MachineProbe(const MachineProbe&) = delete;
    MachineProbe& operator=(const MachineProbe&) = delete;

    // Wall-clock ms since the epoch, as QDateTime and the recordings give it.
    static qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

    void watch(qint64 pid) { m_pid = pid; }

    // Of the time from fromMs to toMs, how many ms the probe was held, or the
    // watched thread waited for a processor (the more of the two).
    qint64 heldMs(qint64 fromMs, qint64 toMs)
    {
        const std::lock_guard lock(m_mutex);
        qint64 held = 0;
        for (const auto& [start, end] : m_holds)
            held += std::max<qint64>(0, std::min(end, toMs) - std::max(start, fromMs));
        // The watched thread's total waiting from the last figure before the
        // span to the first after it.
        qint64 before = -1;
        qint64 after = -1;
        for (const auto& [at, waited] : m_waits) {
            if (at <= fromMs)
                before = waited;
            if (at >= toMs && after < 0)
                after = waited;
        }
        if (before >= 0 && after >= 0)
            held = std::max(held, after - before);
        return held;
    }

private:
    // The watched main thread's time waiting for a processor so far, ms; -1
    // where it cannot be read.
    qint64 waitedMs() const
    {
        const qint64 pid = m_pid;
        if (pid <= 0)
            return -1;
        QFile f(QStringLiteral("/proc/%1/task/%1/schedstat").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            return -1;
        const QList<QByteArray> fields = f.readAll().split(' ');
        bool ok = false;
        const qint64 ns = fields.value(1).trimmed().toLongLong(&ok);
        return ok ? ns / 1'000'000 : -1;
    }

    std::atomic<qint64> m_pid;
    std::atomic<bool> m_stop = false;
    std::mutex m_mutex;
    std::vector<std::pair<qint64, qint64>> m_holds;
    std::vector<std::pair<qint64, qint64>> m_waits;   // (when, total ms waited)
    std::thread m_thread;
};
