#include "tests/support/ProcessFigures.h"

#include <QByteArray>
#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#else
#include <ctime>
#endif

std::chrono::milliseconds cpuTime()
{
#ifdef Q_OS_UNIX
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000LL + t.tv_usec / 1000; };
    return std::chrono::milliseconds(ms(usage.ru_utime) + ms(usage.ru_stime));
#else
    return std::chrono::milliseconds(std::clock() * 1000LL / CLOCKS_PER_SEC);
#endif
}

long statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key(field);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}
