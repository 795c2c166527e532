// ZOLT Scope's session on the simulated module with no window at all (the
// test runs without a GUI application, so a widget would end it): it
// connects, samples with the settings it holds, keeps every scan, records
// exactly the scans it keeps in either format, and counts the rate.

#include "front/RowFormat.h"
#include "scope/ScopeSession.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using scope::ScopeSession;

class TstScopeSession : public QObject {
    Q_OBJECT

private slots:
    void recordsExactlyTheScansItKeeps_data();
    void recordsExactlyTheScansItKeeps();
};

void TstScopeSession::recordsExactlyTheScansItKeeps_data()
{
    QTest::addColumn<front::Format>("format");
    QTest::addColumn<int>("topChannel");
    QTest::addColumn<bool>("digital");
    QTest::newRow("csv, channels 0 to 6 and the lines") << front::Format::Csv << 6 << true;
    QTest::newRow("json lines, channels 0 to 2") << front::Format::Jsonl << 2 << false;
}

void TstScopeSession::recordsExactlyTheScansItKeeps()
{
    QFETCH(front::Format, format);
    QFETCH(int, topChannel);
    QFETCH(bool, digital);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run"));

    ScopeSession session;
    acquisition::Settings settings;
    settings.topChannel = topChannel;
    settings.digital = digital;
    settings.pauseMs = 1;
    session.setSettings(settings);
    // Without a source, starting asks for one.
    QSignalSpy wanted(&session, &ScopeSession::sourceWanted);
    session.startSampling();
    QCOMPARE(wanted.count(), 1);
    QVERIFY(!session.sampling());

    front::LinkOptions link;
    link.simulate = true;
    QCOMPARE(session.connectTo(link), QString());
    // A recording starts the run it records.
    QCOMPARE(session.startRecording(path, format), QString());
    QVERIFY(session.sampling());
    QSignalSpy ticked(&session, &ScopeSession::ticked);
    QVERIFY(QTest::qWaitFor([&] { return session.store().size() >= 40 && ticked.count() >= 2; }, 30000));
    QVERIFY(session.rate() > 0);
    session.stopSampling();
    session.stopRecording();

    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QList<QByteArray> rows = f.readAll().split('\n');
    QCOMPARE(rows.takeLast(), QByteArray());
    front::RowFormat rowFormat(format, topChannel, digital);
    if (format == front::Format::Csv)
        QCOMPARE(rows.takeFirst() + '\n', rowFormat.header());
    const scope::ScanStore& store = session.store();
    QCOMPARE(rows.size(), store.size());
    for (long long i = 0; i < store.size(); ++i) {
        const acquisition::Scan s = store.scan(i);
        QCOMPARE(s.seq, i + 1);
        const std::string_view row = rowFormat.row(s);
        QCOMPARE(rows.at(static_cast<qsizetype>(i)) + '\n', QByteArray(row.data(), static_cast<qsizetype>(row.size())));
    }
    QSignalSpy idle(&session, &ScopeSession::ticked);
    QVERIFY(idle.wait(3000));
    QCOMPARE(session.rate(), 0.0);
}

// No GUI application at all: the session needs none. The Windows test runner
// gives every program on Qt Gui "-platform offscreen", which is a GUI
// application's option, not the test's.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const qsizetype platform = args.indexOf(QStringLiteral("-platform"));
    if (platform > 0)
        args.remove(platform, std::min<qsizetype>(2, args.size() - platform));
    TstScopeSession test;
    return QTest::qExec(&test, args);
}
#include "tst_scopesession.moc"
