// Recordings opened again in ZOLT Scope: rows written by zoltctl (the program,
// on its simulated module) and by ZOLT Scope's recorder, CSV and JSON lines,
// show in the window as the rows say; a file still being written is followed;
// bad files are answered with their line numbers, good rows kept.

#include "WindowRig.h"
#include "RandomScans.h"
#include "scope/RecordingLoader.h"
#include "scope/Recorder.h"
#include "scope/ScopeChart.h"
#include "tests/support/Wait.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A row as the file says it, read with Qt's own number and JSON readers.
struct Row {
    qint64 ms = 0;        // seconds column, ms
    qint64 wallMs = 0;
    QMap<QString, int> fields;   // chN_count, chN_mv, dinN
};

QList<Row> readRows(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    lines.removeAll(QByteArray());
    QList<Row> rows;
    QList<QByteArray> header;
    for (const QByteArray& line : lines) {
        QMap<QString, QString> named;
        if (line.startsWith('{')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            for (auto it = o.begin(); it != o.end(); ++it)
                named[it.key()] = it->isString() ? it->toString() : QString::number(it->toDouble(), 'g', 12);
        } else if (header.isEmpty()) {
            header = line.split(',');
            continue;
        } else {
            const QList<QByteArray> values = line.split(',');
            for (qsizetype i = 0; i < values.size() && i < header.size(); ++i)
                named[QString::fromLatin1(header[i])] = QString::fromLatin1(values[i]);
        }
        Row r;
        r.ms = qRound64(named.take(QStringLiteral("seconds")).toDouble() * 1000);
        r.wallMs = QDateTime::fromString(named.take(QStringLiteral("time")), Qt::ISODateWithMs).toMSecsSinceEpoch();
        named.remove(QStringLiteral("seq"));
        for (auto it = named.begin(); it != named.end(); ++it)
            r.fields[it.key()] = it->toInt();
        rows << r;
    }
    return rows;
}

int storeField(const scope::ScanStore& s, long long i, const QString& name)
{
    const int n = name.mid(name.startsWith(QLatin1String("din")) ? 3 : 2, 1).toInt();
    if (name.startsWith(QLatin1String("din")))
        return s.line(i, n - acquisition::kFirstDigitalLine);
    return name.endsWith(QLatin1String("_mv")) ? s.millivolts(i, n) : s.count(i, n);
}

QByteArray csvHeader() { return "time,seconds,ch0_count,ch0_mv,ch1_count,ch1_mv,din3,din4,din5\n"; }
QByteArray csvRow(int i)
{
    return QStringLiteral("2026-12-09T10:00:%1.000Z,%2.000,%3,%4,7,8,0,1,%5\n")
        .arg(i % 60, 2, 10, QLatin1Char('0'))
        .arg(i)
        .arg(100 + i)
        .arg(122 + i)
        .arg(i % 2)
        .toLatin1();
}

void append(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Append));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TstRecording : public QObject {
    Q_OBJECT

private slots:
    void openedRecordingShowsItsRows_data();
    void openedRecordingShowsItsRows();
    void growingFileIsFollowed();
    void badInputIsAnsweredByLine_data();
    void badInputIsAnsweredByLine();
};

void TstRecording::openedRecordingShowsItsRows_data()
{
    QTest::addColumn<bool>("byZoltctl");
    QTest::addColumn<bool>("jsonl");
    QTest::addColumn<int>("topChannel");
    QTest::addColumn<bool>("digital");
    QTest::newRow("zoltctl csv, 0-6 and lines") << true << false << 6 << true;
    QTest::newRow("zoltctl jsonl, 0-2") << true << true << 2 << false;
    QTest::newRow("scope csv, 0-3") << false << false << 3 << false;
    QTest::newRow("scope jsonl, 0 and lines") << false << true << 0 << true;
}

void TstRecording::openedRecordingShowsItsRows()
{
    QFETCH(bool, byZoltctl);
    QFETCH(bool, jsonl);
    QFETCH(int, topChannel);
    QFETCH(bool, digital);
    QTemporaryDir dir;
    const QString path = dir.filePath(jsonl ? QStringLiteral("run.jsonl") : QStringLiteral("run.csv"));
    if (byZoltctl) {
        QStringList args{QStringLiteral("--simulate"), QStringLiteral("sample"), QStringLiteral("--interval"), QStringLiteral("max"),
                         QStringLiteral("--channels"), QString::number(topChannel), QStringLiteral("--count"), QStringLiteral("40"),
                         QStringLiteral("--format"), jsonl ? QStringLiteral("jsonl") : QStringLiteral("csv"), QStringLiteral("--output"), path};
        if (digital)
            args << QStringLiteral("--digital");
        QProcess p;
        p.start(QStringLiteral(ZOLTCTL_EXE), args);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
    } else {
        scope::Recorder recorder;
        QCOMPARE(recorder.start(path, jsonl ? front::Format::Jsonl : front::Format::Csv, topChannel, digital, false),
                 scope::Recorder::Opened::Ok);
        std::mt19937 rng(7);
        for (int i = 0; i < 3000; ++i)
            QVERIFY(recorder.write(scopetest::randomScan(i + 1, i * 24'000'000LL + 5'000'000, rng, topChannel, digital)));
        recorder.stop();
    }
    const QList<Row> rows = readRows(path);
    QVERIFY(rows.size() >= 40);

    scopetest::WindowRig rig(0);
    QCOMPARE(rig.window->openRecording(path, false), QString());
    QVERIFY(testwait::until([&] { return rig.window->recording().atEnd(); }, 30000));
    const scope::ScanStore& store = rig.window->store();
    QCOMPARE(rig.window->recording().problems(), QString());
    QCOMPARE(store.size(), rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QCOMPARE(store.elapsedNs(i) / 1'000'000, rows[i].ms);
        QCOMPARE(std::chrono::duration_cast<std::chrono::milliseconds>(store.wall(i).time_since_epoch()).count(), rows[i].wallMs);
        QCOMPARE(store.topChannel(i), topChannel);
        QCOMPARE(store.digital(i), digital);
        QCOMPARE(rows[i].fields.size(), 2 * (topChannel + 1) + (digital ? 3 : 0));
        for (auto it = rows[i].fields.begin(); it != rows[i].fields.end(); ++it)
            QVERIFY2(storeField(store, i, it.key()) == it.value(), qPrintable(QStringLiteral("row %1 %2").arg(i).arg(it.key())));
    }
    // The whole run is in view: its figures are the rows', and the cursor reads a row.
    scope::ScopeChart& chart = rig.window->chart();
    chart.refresh(true);
    const scope::SeriesStats& ch0 = chart.reduction().stats[0];
    int lo = 1 << 30, hi = -1;
    for (const Row& r : rows) {
        lo = std::min(lo, r.fields.value(QStringLiteral("ch0_mv")));
        hi = std::max(hi, r.fields.value(QStringLiteral("ch0_mv")));
    }
    QCOMPARE(ch0.n, rows.size());
    QCOMPARE(ch0.min, lo);
    QCOMPARE(ch0.max, hi);
    QCOMPARE(ch0.last, rows.last().fields.value(QStringLiteral("ch0_mv")));
    const Row& middle = rows[rows.size() / 2];
    chart.placeCursor(static_cast<double>(store.elapsedNs(rows.size() / 2)) * 1e-9);
    QVERIFY2(chart.cursorText().contains(QStringLiteral("ch%1  %2 mV").arg(topChannel).arg(middle.fields.value(QStringLiteral("ch%1_mv").arg(topChannel)), 4)),
             qPrintable(chart.cursorText()));
}

void TstRecording::growingFileIsFollowed()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("growing.csv"));
    QByteArray start = csvHeader();
    for (int i = 0; i < 10; ++i)
        start += csvRow(i);
    append(path, start);
    scope::ScanStore store;
    scope::RecordingLoader loader(store);
    QCOMPARE(loader.open(path, true), QString());
    QVERIFY(testwait::until([&] { return loader.atEnd() && store.size() == 10; }, 20000));
    QVERIFY(loader.following());

    // Rows flushed later come in; a last line without its end waits for it.
    QByteArray more;
    for (int i = 10; i < 15; ++i)
        more += csvRow(i);
    const QByteArray next = csvRow(15);
    append(path, more + next.left(20));
    QVERIFY(testwait::until([&] { return store.size() == 15; }, 20000));
    QVERIFY(testwait::holdsFor([&] { return store.size() == 15; }, 3 * scope::RecordingLoader::kFollowIntervalMs));
    append(path, next.mid(20));
    QVERIFY(testwait::until([&] { return store.size() == 16; }, 20000));
    QCOMPARE(store.millivolts(15, 0), 122 + 15);
    QCOMPARE(store.line(15, 2), 1);
    QCOMPARE(loader.problemCount(), 0);

    loader.close();
    QVERIFY(!loader.following());
    QCOMPARE(store.size(), 16);
}

void TstRecording::badInputIsAnsweredByLine_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("oneLineBytes");   // a file of one line this long instead, when not 0
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("problems");
    QTest::addColumn<QString>("answer");

    const QByteArray head = csvHeader() + csvRow(1) + csvRow(2);
    QTest::newRow("truncated last line") << head + csvRow(3).left(30) << qint64(0) << 2 << 1
                                         << QStringLiteral("line 4: cut short");
    QTest::newRow("wrong field count") << head + "2026-12-09T10:00:03.000Z,3.000,1,2\n" + csvRow(4) << qint64(0) << 3 << 1
                                       << QStringLiteral("line 4: 4 fields where the header has 9");
    QTest::newRow("not a number") << head + csvRow(3).replace(",125,", ",1x5,") << qint64(0) << 2 << 1
                                  << QStringLiteral("line 4: ch0_mv is \"1x5\", not a number");
    QTest::newRow("bad time") << head + csvRow(3).replace("T10:", "T25:") << qint64(0) << 2 << 1
                              << QStringLiteral("line 4: time is");
    QByteArray many = head;
    for (int i = 0; i < 8; ++i)
        many += "x\n";
    QTest::newRow("many bad rows, first few told") << many << qint64(0) << 2 << 8
                                                   << QStringLiteral("line 8: 1 fields where the header has 9; and 3 more");
    QTest::newRow("json row without a key") << QByteArray("{\"time\":\"2026-12-09T10:00:00.000Z\",\"seconds\":0.5,\"ch0_count\":1,\"ch0_mv\":2}\n"
                                                          "{\"time\":\"2026-12-09T10:00:00.100Z\",\"seconds\":0.6,\"ch0_count\":1}\n"
                                                          "{\"time\":\"2026-12-09T10:00:00.200Z\",\"seconds\":0.7,\"ch0_count\":3,\"ch0_mv\":4,\"ch0_value\":1.5}\n")
                                            << qint64(0) << 2 << 1 << QStringLiteral("line 2: no ch0_mv");
    QTest::newRow("another program's file") << QByteArray("Date,Temperature\n2026-12-09,21.5\n") << qint64(0) << 0 << 1
                                            << QStringLiteral("not a recording of zoltctl or ZOLT Scope: line 1");
    QTest::newRow("empty file") << QByteArray() << qint64(0) << 0 << 1 << QStringLiteral("the file is empty");
    QByteArray binary;
    for (int i = 0; i < 5000; ++i)
        binary += static_cast<char>((i * 7919) % 251);
    QTest::newRow("binary file") << binary << qint64(0) << 0 << 1 << QStringLiteral("not a recording");
    QTest::newRow("2 GB of one line") << QByteArray() << (qint64(2) << 30) << 0 << 1
                                      << QStringLiteral("its first line is longer than 4096 bytes");
    QTest::newRow("a huge line among rows") << head + QByteArray(100'000, '7') + "\n" + csvRow(3) << qint64(0) << 3 << 1
                                            << QStringLiteral("line 4: longer than 4096 bytes");
    QTest::newRow("windows line ends, blank last line") << QByteArray(head).replace("\n", "\r\n") + "\r\n" << qint64(0) << 2 << 0
                                                        << QString();
}

void TstRecording::badInputIsAnsweredByLine()
{
    QFETCH(QByteArray, content);
    QFETCH(qint64, oneLineBytes);
    QFETCH(int, rows);
    QFETCH(int, problems);
    QFETCH(QString, answer);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.csv"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        // A sparse file: no disk used, but every byte must still be read.
        if (oneLineBytes > 0)
            QVERIFY(f.resize(oneLineBytes));
    }
    scope::ScanStore store;
    scope::RecordingLoader loader(store);
    QCOMPARE(loader.open(path, false), QString());
    QVERIFY(testwait::until([&] { return loader.atEnd() && !loader.active(); }, 120000));
    QCOMPARE(store.size(), rows);
    QCOMPARE(loader.rows(), rows);
    QCOMPARE(loader.problemCount(), problems);
    QVERIFY2(answer.isEmpty() ? loader.problems().isEmpty() : loader.problems().contains(answer), qPrintable(loader.problems()));
}

QTEST_MAIN(TstRecording)
#include "tst_recording.moc"
