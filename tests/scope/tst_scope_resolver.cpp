// zoltscope publishing to a broker by name while the name's resolver never
// answers: a nameserver on loopback that swallows every query, named in a
// private resolv.conf, with a private hosts file, both mounted over the
// machine's own in a mount namespace of the program's own (unshare; root
// only). The window's event loop must not wait for the resolver: the scans,
// stamped as the loop handles them, come as often as ever and are recorded,
// and the broker connection follows as soon as the name resolves (glibc reads
// the hosts file on every lookup).

#include "tests/support/MachineProbe.h"
#include "tests/support/MosquittoBroker.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>

using namespace mqtttest;

namespace {

constexpr int kWaitMs = 30000;
// The loop may hold a scan back by this much at most.
constexpr qint64 kLongestStallMs = 100;
const QByteArray kBrokerName = "zolt-broker.test";
// An address of the loopback network of this test's own.
const char* const kResolverAddress = "127.53.0.1";

// A nameserver that reads every query and answers none.
class SilentNameserver {
public:
    SilentNameserver()
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(53);
        ::inet_pton(AF_INET, kResolverAddress, &a.sin_addr);
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~SilentNameserver()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    int swallowed()
    {
        char query[512];
        while (::recv(m_fd, query, sizeof query, 0) >= 0)
            ++m_queries;
        return m_queries;
    }

private:
    int m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    int m_queries = 0;
};

bool writeFile(const QString& path, const QByteArray& text)
{
    // In place: the mount holds this file, not its name.
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

// Each scan's wall-clock time, ms since the epoch.
QList<qint64> recordedTimes(const QString& path)
{
    QFile f(path);
    QList<qint64> out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    QList<QByteArray> lines = f.readAll().split('\n');
    for (qsizetype i = 1; i + 1 < lines.size(); ++i)   // the header, and the unfinished tail
        out += QDateTime::fromString(QString::fromLatin1(lines.at(i).split(',').value(0)), Qt::ISODateWithMs)
                   .toMSecsSinceEpoch();
    return out;
}

} // namespace

class TstScopeResolver : public QObject {
    Q_OBJECT

private slots:
    void silentResolverHoldsOnlyTheBroker();
};

void TstScopeResolver::silentResolverHoldsOnlyTheBroker()
{
    if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("true")}) != 0)
        QSKIP("a mount namespace of the test's own is not permitted here (unshare -m; it needs root)");
    SilentNameserver resolver;
    if (!resolver.ok())
        QSKIP("cannot listen on port 53 of the loopback network (it needs root)");
    Broker broker;
    QVERIFY(broker.ok());

    MachineProbe probe;
    QTemporaryDir dir;
    const QString resolvConf = dir.filePath(QStringLiteral("resolv.conf"));
    const QString hosts = dir.filePath(QStringLiteral("hosts"));
    const QByteArray withoutName = "127.0.0.1 localhost\n";
    const QByteArray withName = withoutName + "127.0.0.1 " + kBrokerName + '\n';
    // One second per query, so that the lookups end and start again while
    // the test watches.
    QVERIFY(writeFile(resolvConf, QByteArray("nameserver ") + kResolverAddress + "\noptions timeout:1 attempts:1\n"));
    QVERIFY(writeFile(hosts, withoutName));
    const QString recording = dir.filePath(QStringLiteral("run.csv"));

    QProcess scope;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    scope.setProcessEnvironment(env);
    scope.setProcessChannelMode(QProcess::ForwardedChannels);
    const QString url = QStringLiteral("mqtt://%1:%2/lab/r1").arg(QString::fromLatin1(kBrokerName)).arg(broker.port());
    scope.start(QStringLiteral("unshare"),
                {QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("mount --bind \"$1\" /etc/resolv.conf && mount --bind \"$2\" /etc/hosts"
                                " && shift 2 && exec \"$@\""),
                 QStringLiteral("sh"), resolvConf, hosts, QStringLiteral(ZOLTSCOPE_EXE), QStringLiteral("--simulate"),
                 QStringLiteral("--start"), QStringLiteral("--publish"), url, QStringLiteral("--record"), recording});
    QVERIFY(scope.waitForStarted());
    probe.watch(scope.processId());
    const auto status = [&] { return broker.retained(QStringLiteral("lab/r1/status")); };

    // The name is asked for, in vain, again and again, while the scans are
    // recorded.
    QVERIFY(QTest::qWaitFor([&] { return resolver.swallowed() >= 4; }, kWaitMs));
    const qsizetype rowsBefore = recordedTimes(recording).size();
    QTest::qWait(3000);
    QVERIFY2(recordedTimes(recording).size() >= rowsBefore + 20, "the recording stood still");
    QCOMPARE(status(), QByteArray());

    // The name resolves: the connection follows.
    QVERIFY(writeFile(hosts, withName));
    QTRY_COMPARE_WITH_TIMEOUT(status(), QByteArray("online"), kWaitMs);

    ::kill(static_cast<pid_t>(scope.processId()), SIGTERM);
    QVERIFY(scope.waitForFinished(10000));
    QCOMPARE(scope.exitCode(), 0);

    // Each gap between scans is one sampling cycle plus whatever held the
    // loop: nothing longer than a cycle and 100 ms beyond what the machine
    // held the test itself at the time.
    const QList<qint64> times = recordedTimes(recording);
    QVERIFY(times.size() > 100);
    QList<qint64> gapsMs;
    for (qsizetype i = 1; i < times.size(); ++i)
        gapsMs += times.at(i) - times.at(i - 1);
    QList<qint64> sorted = gapsMs;
    std::sort(sorted.begin(), sorted.end());
    const qint64 median = sorted.at(sorted.size() / 2);
    int machineHolds = 0;
    for (qsizetype i = 0; i < gapsMs.size(); ++i) {
        const qint64 stall = gapsMs.at(i) - median;
        if (stall <= kLongestStallMs)
            continue;
        const qint64 held = probe.heldMs(times.at(i), times.at(i + 1));
        QVERIFY2(stall - held <= kLongestStallMs,
                 qPrintable(QStringLiteral("the loop stood still for %1 ms, %2 s into the run; the machine held the test %3 ms")
                                .arg(stall)
                                .arg(double(times.at(i) - times.first()) / 1000)
                                .arg(held)));
        ++machineHolds;
    }
    qInfo("%lld scans in %.1f s, %d queries swallowed; gap between scans: median %lld ms, longest %lld ms; "
          "%d over median + 100 ms, less than that beyond what the machine held the test",
          static_cast<long long>(times.size()), double(times.last() - times.first()) / 1000, resolver.swallowed(),
          static_cast<long long>(median), static_cast<long long>(sorted.last()), machineHolds);
}

QTEST_GUILESS_MAIN(TstScopeResolver)
#include "tst_scope_resolver.moc"
