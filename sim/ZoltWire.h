#pragma once

// The serial line between the program and the simulated module, both ways.
// Every byte occupies the line for one frame (start bit, data bits, parity,
// stop bits: 10 bit times at 8N1); the module acts on a command once its last
// byte is in and answers on the other direction straight away. Bytes reach
// the program when their stop bit would have, in the small batches a timer
// tick finds due, so the program sees the splits a real port gives.
//
// Zero-time mode drops the line delay for tests that must not wait: the
// reply comes on the next pass of the event loop, never inside hostWrite().

#include "link/PreciseAlarm.h"
#include "sim/ZoltModel.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>

struct LineSettings;

class ZoltWire : public QObject {
    Q_OBJECT

public:
    enum class Timing { Wire, ZeroTime };

    // One command as the line saw it. Times are microseconds of nowUs().
    struct Exchange {
        ZoltModel::Command command;
        qint64 writtenUs = 0;      // the program wrote the command's first byte
        qint64 arrivedUs = 0;      // its last byte reached the module
        qint64 replyDueUs = 0;     // the reply's last stop bit (arrivedUs when none)
        qint64 deliveredUs = -1;   // the reply's last byte was handed over, -1 until then
    };

    explicit ZoltWire(Timing timing = Timing::Wire, QObject* parent = nullptr);

    ZoltModel& model() { return m_model; }
    const ZoltModel& model() const { return m_model; }
    Timing timing() const { return m_timing; }
    void setTiming(Timing timing) { m_timing = timing; }

    void setLine(const LineSettings& settings);
    int baud() const { return m_baud; }
    int frameBits() const { return m_frameBits; }
    // One byte on the line, in microseconds (0 in zero-time mode).
    double byteTimeUs() const;

    // The module's clock, microseconds since the line was made.
    qint64 nowUs() const { return m_clock.nsecsElapsed() / 1000; }

    // The program writes; the bytes queue behind any still on the line.
    void hostWrite(const QByteArray& bytes);
    // The port closed: bytes on the way in either direction are lost. The
    // module keeps its outputs.
    void dropInFlight();

    // What went over the line, oldest first, at most exchangeLimit() entries.
    const std::deque<Exchange>& exchanges() const { return m_exchanges; }

    // The analog scans among the recorded exchanges: when the first and the
    // last were written, and how many there were.
    struct ScanSpan {
        qint64 firstUs = -1;
        qint64 lastUs = -1;
        long long scans = 0;
        // Scans a second from the first to the last; 0 with fewer than two.
        double cyclesPerSecond() const
        {
            return scans < 2 || lastUs <= firstUs ? 0.0
                                                   : 1e6 * static_cast<double>(scans - 1) / static_cast<double>(lastUs - firstUs);
        }
    };
    ScanSpan analogScans() const;
    void clearExchanges() { m_exchanges.clear(); }
    void setExchangeLimit(std::size_t limit) { m_exchangeLimit = limit; }
    std::size_t exchangeLimit() const { return m_exchangeLimit; }
    QByteArray received() const { return m_received; }   // every byte the module got
    QByteArray sent() const { return m_sent; }           // every byte it handed over
    void clearRecord();
    void setRecording(bool on) { m_recording = on; }     // received()/sent(); on by default

signals:
    // Bytes that have reached the program's end of the line.
    void bytesToHost(const QByteArray& bytes);
    // The last byte the program wrote has left its end of the line.
    void hostLineIdle();

private:
    struct Outgoing {
        qint64 dueUs;
        char byte;
        qint64 writtenUs;
    };
    struct Incoming {
        qint64 dueUs;
        char byte;
        quint64 exchange;  // exchange serial, 0 when not the last byte of a reply
    };

    void service();
    void schedule();
    void postService();
    qint64 byteUs(int bytes) const;
    Exchange* exchangeBySerial(quint64 serial);

    ZoltModel m_model;
    Timing m_timing;
    int m_baud = 9600;
    int m_frameBits = 10;
    QElapsedTimer m_clock;
    PreciseAlarm m_timer;
    bool m_servicePosted = false;   // zero-time: a service call waits in the event loop

    std::deque<Outgoing> m_toModule;
    std::deque<Incoming> m_toHost;
    qint64 m_toModuleFreeUs = 0;   // when the program's direction is next free
    qint64 m_toHostFreeUs = 0;
    qint64 m_idleDueUs = -1;       // when to report the program's direction idle
    qint64 m_commandWrittenUs = -1;

    std::deque<Exchange> m_exchanges;
    quint64 m_lastSerial = 0;      // serial of m_exchanges.back()
    std::size_t m_exchangeLimit = 100000;
    bool m_recording = true;
    QByteArray m_received;
    QByteArray m_sent;
};
