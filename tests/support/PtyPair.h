#pragma once

// A pseudo-terminal pair for tests: the code under test opens the terminal
// side by its name, the test plays the far end on the master side. Nothing
// here touches the machine's own serial ports.

#include <QByteArray>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

inline constexpr int kPtyWriteMs = 2000;

// One pseudo-terminal pair; the test holds the master end.
class PtyPair {
public:
    PtyPair()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        char name[128] = {};
        if (::ptsname_r(m_master, name, sizeof name) != 0)
            return;
        m_slave = QString::fromLocal8Bit(name);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        // Not handed to programs a test starts, or closing it here would hang
        // nothing up.
        ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_master >= 0 && !m_slave.isEmpty(); }
    QString slave() const { return m_slave; }
    int master() const { return m_master; }

    // A full terminal buffer drains as the control reads, from the event
    // loop, which runs while this waits.
    void write(const QByteArray& bytes)
    {
        qsizetype done = 0;
        QVERIFY(QTest::qWaitFor([&] {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            return done == bytes.size();
        }, kPtyWriteMs));
    }

    // What the other end has written so far, without running the event loop.
    QByteArray readWaiting()
    {
        char buffer[512];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        return n > 0 ? QByteArray(buffer, n) : QByteArray();
    }

    // What reaches the module side within the time, letting the event loop
    // run meanwhile.
    QByteArray read(qsizetype count, int timeoutMs = 2000)
    {
        QByteArray got;
        static_cast<void>(QTest::qWaitFor([&] {
            char buffer[512];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
            return got.size() >= count;
        }, timeoutMs));
        return got;
    }

    termios lineSettings() const
    {
        termios tio {};
        ::tcgetattr(m_master, &tio);  // the terminal side's settings
        return tio;
    }

    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slave;
};
