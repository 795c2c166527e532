#pragma once

// How long the machine itself held the test back: a thread that sleeps 1 ms
// at a time notes every wake-up more than 2 ms late, on the wall clock. A
// timing bound that a busy machine can break subtracts what it held a thread
// of the test for at the same time, so that it counts the program's waiting
// and not the machine's.

#include <QDateTime>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class MachineProbe {
public:
    MachineProbe()
        : m_thread([this] {
            for (qint64 last = nowMs(); !m_stop;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                const qint64 now = nowMs();
                if (now - last > 2) {
                    const std::lock_guard lock(m_mutex);
                    m_holds.emplace_back(last + 1, now);
                }
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

    // Of the time from fromMs to toMs, how many ms the probe was held.
    qint64 heldMs(qint64 fromMs, qint64 toMs)
    {
        const std::lock_guard lock(m_mutex);
        qint64 held = 0;
        for (const auto& [start, end] : m_holds)
            held += std::max<qint64>(0, std::min(end, toMs) - std::max(start, fromMs));
        return held;
    }

private:
    std::atomic<bool> m_stop = false;
    std::mutex m_mutex;
    std::vector<std::pair<qint64, qint64>> m_holds;
    std::thread m_thread;
};
