// zoltscope publishing to a broker by name while the name's resolver never
// answers: a nameserver on loopback that swallows every query, named in a
// private resolv.conf, with a private hosts file, both mounted over the
// machine's own in a mount namespace of the program's own (unshare; root
// only). The window's event loop must not wait for the resolver: the scans,
// stamped as the loop handles them, come as often as ever and are recorded,
// and the broker connection follows as soon as the name resolves (glibc reads
// the hosts file on every lookup).

#include "tests/support/MosquittoBroker.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <algorithm>
#include <csignal>

using namespace mqtttest;

namespace {

constexpr int kWaitMs = 30000;
// The loop may hold a scan back by this much at most.
constexpr double kLongestStallMs = 100;
const QByteArray kBrokerName = "zolt-broker.test";
// An address of the loopback network of this test's own.
const QString kResolverAddress = QStringLiteral("127.53.0.1");

// Reads every query and answers none; how many it swallowed.
int swallow(QUdpSocket& nameserver)
{
    static int queries = 0;
    for (; nameserver.hasPendingDatagrams(); ++queries)
        nameserver.readDatagram(nullptr, 0);
    return queries;
}

bool writeFile(const QString& path, const QByteArray& text)
{
    // In place: the mount holds this file, not its name.
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

QList<double> recordedSeconds(const QString& path)
{
    QFile f(path);
    QList<double> out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    QList<QByteArray> lines = f.readAll().split('\n');
    for (qsizetype i = 1; i + 1 < lines.size(); ++i)   // the header, and the unfinished tail
        out += lines.at(i).split(',').value(1).toDouble();
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
    QUdpSocket resolver;
    if (!resolver.bind(QHostAddress(kResolverAddress), 53))
        QSKIP("cannot listen on port 53 of the loopback network (it needs root)");
    Broker broker;
    QVERIFY(broker.ok());

    QTemporaryDir dir;
    const QString resolvConf = dir.filePath(QStringLiteral("resolv.conf"));
    const QString hosts = dir.filePath(QStringLiteral("hosts"));
    const QByteArray withoutName = "127.0.0.1 localhost\n";
    const QByteArray withName = withoutName + "127.0.0.1 " + kBrokerName + '\n';
    // One second per query, so that the lookups end and start again while
    // the test watches.
    QVERIFY(writeFile(resolvConf, "nameserver " + kResolverAddress.toLatin1() + "\noptions timeout:1 attempts:1\n"));
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
    const auto status = [&] { return broker.retained(QStringLiteral("lab/r1/status")); };

    // The name is asked for, in vain, again and again, while the scans are
    // recorded.
    QVERIFY(QTest::qWaitFor([&] { return swallow(resolver) >= 4; }, kWaitMs));
    const qsizetype rowsBefore = recordedSeconds(recording).size();
    QTest::qWait(3000);
    QVERIFY2(recordedSeconds(recording).size() >= rowsBefore + 20, "the recording stood still");
    QCOMPARE(status(), QByteArray());

    // The name resolves: the connection follows.
    QVERIFY(writeFile(hosts, withName));
    QTRY_COMPARE_WITH_TIMEOUT(status(), QByteArray("online"), kWaitMs);

    ::kill(static_cast<pid_t>(scope.processId()), SIGTERM);
    QVERIFY(scope.waitForFinished(10000));
    QCOMPARE(scope.exitCode(), 0);

    // Each gap between scans is one sampling cycle plus whatever held the
    // loop.
    const QList<double> seconds = recordedSeconds(recording);
    QVERIFY(seconds.size() > 100);
    QList<double> gapsMs;
    for (qsizetype i = 1; i < seconds.size(); ++i)
        gapsMs += (seconds.at(i) - seconds.at(i - 1)) * 1000;
    std::sort(gapsMs.begin(), gapsMs.end());
    const double median = gapsMs.at(gapsMs.size() / 2);
    const double longest = gapsMs.last();
    qInfo("%lld scans in %.1f s, %d queries swallowed; gap between scans: median %.1f ms, longest %.1f ms",
          static_cast<long long>(seconds.size()), seconds.last(), swallow(resolver), median, longest);
    QVERIFY2(longest - median <= kLongestStallMs, qPrintable(QStringLiteral("the loop stood still for %1 ms")
                                                                 .arg(longest - median)));
}

QTEST_GUILESS_MAIN(TstScopeResolver)
#include "tst_scope_resolver.moc"
