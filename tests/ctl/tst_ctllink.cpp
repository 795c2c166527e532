// zoltctl's sampling on a scripted control: replies that never come, or come
// in part, cost their row and nothing more, and each reply is decoded once.

#include "ctl/Exchange.h"
#include "ctl/Sampler.h"
#include "front/ModuleLink.h"
#include "sim/EventLoopWait.h"
#include "tests/support/FakeSerialControl.h"

#include <QTest>
#include <algorithm>
#include <cstdio>
#include <memory>

using namespace front;
using namespace zoltctl;

namespace {

constexpr int kModulePort = 4;

// Answers each analog read of channel 0 with the next entry: the bytes the
// module sends back (none, part of a reply, or a whole one).
class ScriptedModule : public QObject {
public:
    ScriptedModule(FakeSerialControl& comm, QList<QByteArray> replies)
        : m_comm(comm)
        , m_replies(std::move(replies))
    {
        m_poll.setInterval(1);
        connect(&m_poll, &QTimer::timeout, this, [this] {
            while (m_seen < m_comm.writes().size()) {
                const QByteArray command = m_comm.writes().at(m_seen++);
                if (command == QByteArray("!0RA\x00", 5) && m_next < m_replies.size())
                    m_comm.feed(m_replies.at(m_next++));
            }
        });
        m_poll.start();
    }

private:
    FakeSerialControl& m_comm;
    QList<QByteArray> m_replies;
    QTimer m_poll;
    qsizetype m_seen = 0;
    qsizetype m_next = 0;
};

// A line that is talking whenever a read is about to go out: each look for
// stray bytes finds some.
class ChatteringControl : public FakeSerialControl {
protected:
    qint64 discardWaiting() override { return std::max<qint64>(1, FakeSerialControl::discardWaiting()); }
};

// The link opened on the module's port over the given control, with both
// modem lines up as a powered module holds them.
std::unique_ptr<ModuleLink> openedLink(std::unique_ptr<FakeSerialControl> owned)
{
    owned->setExistingPorts({kModulePort});
    owned->setLines(true, true);
    auto link = std::make_unique<ModuleLink>(std::move(owned));
    LinkOptions where;
    where.port = kModulePort;
    if (link->open(where).has_value())
        return nullptr;
    return link;
}

QByteArray runFile(std::FILE* file)
{
    std::rewind(file);
    QByteArray text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, static_cast<qsizetype>(n));
    return text;
}

} // namespace

class TestCtlLink : public QObject {
    Q_OBJECT

private slots:
    void samplingHealsAfterLostReplies();
    void aReadOnALineThatNeverFallsQuietEnds();
};

void TestCtlLink::samplingHealsAfterLostReplies()
{
    auto owned = std::make_unique<FakeSerialControl>();
    FakeSerialControl& comm = *owned;
    const std::unique_ptr<ModuleLink> opened = openedLink(std::move(owned));
    QVERIFY(opened);
    ModuleLink& link = *opened;
    Options o;
    o.topChannel = 0;
    o.intervalMs = 1;
    o.count = 3;
    o.format = Format::Csv;

    // Reply 1 never comes; reply 2 loses its second byte; then whole replies.
    // The odd byte must not shift the readings after it.
    ScriptedModule module(comm, {QByteArray(), QByteArray("\x08", 1), QByteArray("\x08\x00", 2),
                                 QByteArray("\x0F\xFF", 2), QByteArray("\x00\x01", 2)});
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), &std::fclose);
    QVERIFY(out);
    long long receiveEvents = 0;
    QObject::connect(&comm, &SerialControl::OnComm, &comm, [&] {
        receiveEvents += comm.CommEvent() == SerialControl::kComEvReceive ? 1 : 0;
    });
    Sampler sampler(link, o, out.get(), nullptr);
    QCOMPARE(sampler.run(), ExitStatus::Ok);

    // Each receive event is decoded once, by the acquisition core alone.
    QVERIFY(receiveEvents >= 3);
    QCOMPARE(link.module().ReceivesHandled, receiveEvents);
    QCOMPARE(link.module().MissedReplies, 2);
    const QList<QByteArray> rows = runFile(out.get()).split('\n');
    QCOMPARE(rows.size(), 1 + 3 + 1);   // header, three rows, nothing after the last line ending
    QCOMPARE(rows.at(0), QByteArray("time,seconds,ch0_count,ch0_mv"));
    QVERIFY(rows.at(1).endsWith(",2048,2500"));
    QVERIFY(rows.at(2).endsWith(",4095,5000"));
    QVERIFY(rows.at(3).endsWith(",1,1"));
    QVERIFY(rows.at(4).isEmpty());
}

void TestCtlLink::aReadOnALineThatNeverFallsQuietEnds()
{
    auto owned = std::make_unique<ChatteringControl>();
    FakeSerialControl& comm = *owned;
    const std::unique_ptr<ModuleLink> opened = openedLink(std::move(owned));
    QVERIFY(opened);
    ModuleLink& link = *opened;

    // Each try finds the line talking and sends nothing; the read still ends.
    Exchange exchange(link);
    const Exchange::Outcome outcome = exchange.scan(0, false);
    QVERIFY(!outcome.done);
    QCOMPARE(outcome.read, acquisition::Acquisition::Read::Analog);
    QCOMPARE(outcome.why, acquisition::Acquisition::Failure::Missed);
    QCOMPARE(link.module().Sampling, 0);
    QVERIFY(comm.writes().isEmpty());
}

QTEST_GUILESS_MAIN(TestCtlLink)
#include "tst_ctllink.moc"
