#pragma once

// What every benchmark measures and prints alike: the machine's load, the
// spread of a figure over repeats, and processor time (Linux's /proc and
// getrusage).

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <vector>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace benchfigures {

// The load average over 1, 5 and 15 minutes, "0.52 0.40 0.31"; "?" where the
// system does not tell.
inline QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return "?";
    return file.readAll().trimmed().split(' ').mid(0, 3).join(' ');
}

struct Spread {
    double min = 0, median = 0, max = 0;
    int count = 0;
};

// All zero for no values.
inline Spread spreadOf(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return {values.front(), values[values.size() / 2], values.back(), static_cast<int>(values.size())};
}

// Processor time so far, user and system, seconds: this process's
// (RUSAGE_SELF), or that of its children waited for (RUSAGE_CHILDREN).
inline double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage use{};
    ::getrusage(who, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec)
        + static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// Another process's processor time so far, seconds; 0 when it cannot be read.
inline double processCpuSeconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = file.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // Fields 14 and 15 of the line (utime, stime); 3 is the first after the name.
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Processor time of this thread, ms: on a machine shared with other work
// the wall clock also counts the time others ran.
inline double threadCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// This process's resident memory, KiB; -1 when the system does not tell.
inline long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace benchfigures
