#include "ctl/Exchange.h"

#include "front/ModuleLink.h"
#include "link/Protocol.h"
#include "link/ReplyDeadline.h"
#include "link/SerialControl.h"

#include <QEventLoop>
#include <QTimer>
#include <optional>

namespace zoltctl {

using acquisition::Acquisition;

Exchange::Exchange(front::ModuleLink& link, QObject* parent)
    : QObject(parent)
    , m_link(link)
    , m_acquisition(link.module())
{
    connect(&m_acquisition, &Acquisition::scanned, this, [this](const acquisition::Scan& scan) { m_scan = scan; });
}

Exchange::Outcome Exchange::scan(int topChannel, bool digital)
{
    acquisition::Settings settings;
    settings.topChannel = topChannel;
    settings.digital = digital;
    // A cycle the stray bytes rule skipped is tried again at once, for as
    // long as the reads' own deadlines and their margin once more (so that
    // a late reply is the deadline's to judge): a line that never falls
    // quiet answers nothing either.
    settings.pauseMs = acquisition::kShortestPauseMs;
    settings.countLimit = 1;
    const int baud = m_link.baud();
    settings.durationLimitMs = replydeadline::kMarginMs + replydeadline::deadlineMs(static_cast<int>(protocol::readAnalogCommand(topChannel).size()),
                                                         protocol::analogReplyLength(topChannel), baud);
    if (digital)
        settings.durationLimitMs += replydeadline::deadlineMs(static_cast<int>(protocol::readDigitalCommand().size()),
                                                              protocol::kDigitalReplyBytes, baud);
    m_acquisition.setSettings(settings);
    m_acquisition.start();
    m_acquisition.pauseEnded();   // the read at once, not after a pause
    const Outcome outcome = await();
    m_acquisition.stop();
    return outcome;
}

Exchange::Outcome Exchange::readLines()
{
    m_acquisition.readLines();
    return await();
}

Exchange::Outcome Exchange::setOutputLine(bool high)
{
    m_acquisition.setDigitalOutput(high);
    return await();
}

bool Exchange::setAnalogOutput(int channel, int millivolts)
{
    SerialControl& comm = m_link.comm();
    QEventLoop loop;
    bool drained = false;
    const QMetaObject::Connection sent = connect(&comm, &SerialControl::OnComm, &loop, [&] {
        if (comm.CommEvent() == SerialControl::kComEvSend) {
            drained = true;
            loop.quit();
        }
    });
    m_acquisition.setAnalogOutput(channel, millivolts);
    if (!drained) {
        const int commandBytes = static_cast<int>(m_link.module().CmdStr.size());
        QTimer::singleShot(replydeadline::deadlineMs(commandBytes, 0, m_link.baud()), &loop, &QEventLoop::quit);
        loop.exec();
    }
    disconnect(sent);
    return drained;
}

Exchange::Outcome Exchange::await()
{
    QEventLoop loop;
    std::optional<Outcome> outcome;
    const auto finish = [&](Outcome o) {
        if (!outcome)
            outcome = o;   // the first says it: a lost port also ends the run
        loop.quit();
    };
    const QMetaObject::Connection a = connect(&m_acquisition, &Acquisition::ended, &loop, [&](Acquisition::End why) {
        if (why == Acquisition::End::CountReached)
            finish({.done = true});
        else if (why == Acquisition::End::DurationReached)
            finish({.done = false, .read = Acquisition::Read::Analog, .why = Acquisition::Failure::Missed});
    });
    const QMetaObject::Connection b = connect(&m_acquisition, &Acquisition::linesRead, &loop, [&] { finish({.done = true}); });
    const QMetaObject::Connection c = connect(&m_acquisition, &Acquisition::replyFailed, &loop,
                                              [&](Acquisition::Read read, Acquisition::Failure why) {
                                                  finish({.done = false, .read = read, .why = why});
                                              });
    // Lost between two tries of a skipped cycle, with no reply awaited.
    const QMetaObject::Connection d = connect(&m_acquisition, &Acquisition::portLost, &loop, [&] {
        finish({.done = false, .read = Acquisition::Read::Analog, .why = Acquisition::Failure::PortLost});
    });
    loop.exec();
    for (const QMetaObject::Connection& connection : {a, b, c, d})
        disconnect(connection);
    return outcome.value_or(Outcome{});
}

} // namespace zoltctl
