#pragma once

// This process's own figures, for tests that bound what waiting costs.

#include <QByteArray>
#include <QFile>

#include <sys/resource.h>

#include <chrono>

// Processor time used so far, user and system.
inline std::chrono::milliseconds cpuTime()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000LL + t.tv_usec / 1000; };
    return std::chrono::milliseconds(ms(usage.ru_utime) + ms(usage.ru_stime));
}

// AddressSanitizer keeps freed memory in quarantine and maps shadow memory as
// it goes, so under it resident memory says nothing about the program's own.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentMemoryIsTheProgramsOwn = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kResidentMemoryIsTheProgramsOwn = false;
#else
inline constexpr bool kResidentMemoryIsTheProgramsOwn = true;
#endif
#else
inline constexpr bool kResidentMemoryIsTheProgramsOwn = true;
#endif

// Resident memory, KiB; -1 where the system does not tell.
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
