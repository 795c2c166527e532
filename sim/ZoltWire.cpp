#include "sim/ZoltWire.h"

#include "link/LineSettings.h"

#include <QMetaObject>

#include <algorithm>
#include <cmath>
#include <limits>

ZoltWire::ZoltWire(Timing timing, QObject* parent)
    : QObject(parent)
    , m_timing(timing)
{
    m_clock.start();
    connect(&m_timer, &PreciseAlarm::timeout, this, &ZoltWire::service);
}

void ZoltWire::setLine(const LineSettings& settings)
{
    m_baud = settings.baud;
    m_frameBits = 1 + settings.dataBits + (settings.parity == 'N' ? 0 : 1) + settings.stopBits;
}

double ZoltWire::byteTimeUs() const
{
    if (m_timing == Timing::ZeroTime)
        return 0.0;
    return 1e6 * m_frameBits / m_baud;
}

qint64 ZoltWire::byteUs(int bytes) const
{
    return std::llround(bytes * byteTimeUs());
}

void ZoltWire::clearRecord()
{
    m_received.clear();
    m_sent.clear();
}

void ZoltWire::hostWrite(const QByteArray& bytes)
{
    const qint64 now = nowUs();
    // Times of successive bytes are counted from the first, so rounding to
    // whole microseconds does not add up over a long reply.
    const qint64 start = std::max(now, m_toModuleFreeUs);
    for (int i = 0; i < bytes.size(); ++i)
        m_toModule.push_back({start + byteUs(i + 1), bytes[i], now});
    m_toModuleFreeUs = start + byteUs(static_cast<int>(bytes.size()));
    m_idleDueUs = m_toModuleFreeUs;
    schedule();
}

void ZoltWire::dropInFlight()
{
    m_toModule.clear();
    m_toHost.clear();
    m_idleDueUs = -1;
    m_toModuleFreeUs = m_toHostFreeUs = 0;
    m_commandWrittenUs = -1;
    m_timer.stop();
}

ZoltWire::Exchange* ZoltWire::exchangeBySerial(quint64 serial)
{
    const quint64 first = m_lastSerial + 1 - m_exchanges.size();
    if (serial < first || serial > m_lastSerial)
        return nullptr;
    return &m_exchanges[static_cast<std::size_t>(serial - first)];
}

void ZoltWire::postService()
{
    if (m_servicePosted)
        return;
    m_servicePosted = true;
    QMetaObject::invokeMethod(this, [this] {
        m_servicePosted = false;
        service();
    }, Qt::QueuedConnection);
}

void ZoltWire::service()
{
    const qint64 now = nowUs();
    QByteArray batch;
    // Both directions in time order: a byte into the module may start a reply
    // that is already due when the timer was late.
    for (;;) {
        const qint64 inDue = m_toModule.empty() ? std::numeric_limits<qint64>::max() : m_toModule.front().dueUs;
        const qint64 outDue = m_toHost.empty() ? std::numeric_limits<qint64>::max() : m_toHost.front().dueUs;
        if (std::min(inDue, outDue) > now)
            break;
        if (outDue <= inDue) {
            const Incoming in = m_toHost.front();
            m_toHost.pop_front();
            batch.append(in.byte);
            if (in.exchange != 0) {
                if (Exchange* ex = exchangeBySerial(in.exchange))
                    ex->deliveredUs = now;
            }
            continue;
        }
        const Outgoing out = m_toModule.front();
        m_toModule.pop_front();
        if (m_recording)
            m_received.append(out.byte);
        if (m_model.pendingBytes() == 0)
            m_commandWrittenUs = out.writtenUs;
        for (ZoltModel::Command& command : m_model.receive(out.byte, out.dueUs)) {
            Exchange ex;
            ex.writtenUs = m_commandWrittenUs;
            ex.arrivedUs = out.dueUs;
            const int length = static_cast<int>(command.reply.size());
            const qint64 start = std::max(out.dueUs, m_toHostFreeUs);
            for (int i = 0; i < length; ++i) {
                const bool last = i + 1 == length;
                m_toHost.push_back({start + byteUs(i + 1), command.reply[i], last ? m_lastSerial + 1 : 0});
            }
            m_toHostFreeUs = start + byteUs(length);
            ex.replyDueUs = length > 0 ? m_toHostFreeUs : out.dueUs;
            if (length == 0)
                ex.deliveredUs = out.dueUs;
            ex.command = std::move(command);
            m_exchanges.push_back(std::move(ex));
            ++m_lastSerial;
            while (m_exchanges.size() > m_exchangeLimit)
                m_exchanges.pop_front();
        }
        if (m_model.pendingBytes() == 0)
            m_commandWrittenUs = -1;
    }

    const bool idleNow = m_idleDueUs >= 0 && m_idleDueUs <= now;
    if (idleNow)
        m_idleDueUs = -1;
    schedule();
    // The command's last byte leaves before any of its reply can come back.
    if (idleNow)
        emit hostLineIdle();
    if (!batch.isEmpty()) {
        if (m_recording)
            m_sent.append(batch);
        emit bytesToHost(batch);
    }
}

void ZoltWire::schedule()
{
    qint64 due = std::numeric_limits<qint64>::max();
    if (!m_toModule.empty())
        due = std::min(due, m_toModule.front().dueUs);
    if (!m_toHost.empty())
        due = std::min(due, m_toHost.front().dueUs);
    if (m_idleDueUs >= 0)
        due = std::min(due, m_idleDueUs);
    if (due == std::numeric_limits<qint64>::max()) {
        m_timer.stop();
        return;
    }
    // Without line time everything is due at once: the next pass of the event
    // loop serves it, and no kernel timer is armed for it.
    if (m_timing == Timing::ZeroTime && due <= nowUs()) {
        m_timer.stop();
        postService();
        return;
    }
    m_timer.start(due - nowUs());
}

ZoltWire::ScanSpan ZoltWire::analogScans() const
{
    ScanSpan span;
    for (const Exchange& ex : m_exchanges) {
        if (ex.command.kind != ZoltModel::Kind::ReadAnalog)
            continue;
        if (span.firstUs < 0)
            span.firstUs = ex.writtenUs;
        span.lastUs = ex.writtenUs;
        ++span.scans;
    }
    return span;
}
