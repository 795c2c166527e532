// Recording: zoltctl's rows, each on disk as soon as it is written; a full
// disk or a removed file ends the recording with a message and leaves only
// whole rows; an existing file is kept unless replacing it was agreed.

#include "scope/Recorder.h"
#include "tests/scope/RandomScans.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using scope::Recorder;
using scopetest::randomScan;

class TstRecorder : public QObject {
    Q_OBJECT

private slots:
    void rowsAreZoltctlsAndOnDiskAtOnce();
    void aFullDiskEndsTheRecordingWithAMessage();
    void anExistingFileIsKeptUnlessReplaced();
    void aRemovedFileEndsTheRecording();
};

void TstRecorder::rowsAreZoltctlsAndOnDiskAtOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    Recorder rec;
    QCOMPARE(rec.start(path, front::Format::Csv, 6, true, false), Recorder::Opened::Ok);
    std::mt19937 rng(5);
    front::RowFormat reference(front::Format::Csv, 6, true);
    QByteArray expected = reference.header();
    for (int i = 0; i < 50; ++i) {
        const acquisition::Scan s = randomScan(i + 1, i * 25'000'000LL, rng, 6, true);
        QVERIFY(rec.write(s));
        const std::string_view row = reference.row(s);
        expected.append(row.data(), static_cast<qsizetype>(row.size()));
        // On disk already, while the recording still runs.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), expected);
    }
    QCOMPARE(rec.rows(), 50LL);
    QCOMPARE(rec.bytes(), qint64(expected.size()));
    QVERIFY(expected.startsWith("time,seconds,ch0_count,ch0_mv,"));
    QVERIFY(expected.split('\n').at(0).endsWith("ch6_count,ch6_mv,din3,din4,din5"));
    rec.stop();
    QVERIFY(!rec.active());

    // JSON lines: one object a line with the same names.
    const QString jpath = dir.filePath(QStringLiteral("run.jsonl"));
    QCOMPARE(rec.start(jpath, front::Format::Jsonl, 2, false, false), Recorder::Opened::Ok);
    QVERIFY(rec.write(randomScan(1, 0, rng, 2, false)));
    rec.stop();
    QFile j(jpath);
    QVERIFY(j.open(QIODevice::ReadOnly));
    const QByteArray line = j.readAll();
    QVERIFY(line.startsWith("{\"time\":\""));
    QVERIFY(line.contains("\"ch2_mv\":") && !line.contains("ch3") && !line.contains("din3"));
    QVERIFY(line.endsWith("}\n"));
}

void TstRecorder::aFullDiskEndsTheRecordingWithAMessage()
{
    Recorder rec;
    // The header already cannot be written.
    QCOMPARE(rec.start(QStringLiteral("/dev/full"), front::Format::Csv, 6, true, true), Recorder::Opened::Failed);
    QVERIFY(!rec.active());
    // The system's own reason follows the file's name: ENOSPC's text on
    // POSIX systems; Windows words its disk-full error its own way.
#ifdef Q_OS_WIN
    const QLatin1String reason(": ");
#else
    const QLatin1String reason("space");
#endif
    QVERIFY2(rec.error().contains(QLatin1String("/dev/full")) && rec.error().contains(reason)
                 && !rec.error().endsWith(QLatin1String(": ")),
             qPrintable(rec.error()));
    // JSON lines have no header: the first row fails, and ends the recording.
    QCOMPARE(rec.start(QStringLiteral("/dev/full"), front::Format::Jsonl, 6, true, true), Recorder::Opened::Ok);
    std::mt19937 rng(1);
    QVERIFY(!rec.write(randomScan(1, 0, rng, 6, true)));
    QVERIFY(!rec.active());
    QCOMPARE(rec.rows(), 0LL);
    QVERIFY(rec.error().startsWith(QLatin1String("recording stopped")));
    QVERIFY(!rec.write(randomScan(2, 1, rng, 6, true)));
}

void TstRecorder::anExistingFileIsKeptUnlessReplaced()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kept.csv"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("an earlier run\n");
    }
    Recorder rec;
    QCOMPARE(rec.start(path, front::Format::Csv, 0, false, false), Recorder::Opened::Exists);
    QVERIFY(!rec.active());
    std::mt19937 rng(2);
    QVERIFY(!rec.write(randomScan(1, 0, rng, 0, false)));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("an earlier run\n"));
    f.close();

    QCOMPARE(rec.start(path, front::Format::Csv, 0, false, true), Recorder::Opened::Ok);
    QVERIFY(rec.write(randomScan(1, 0, rng, 0, false)));
    rec.stop();
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.size(), 3);   // header, one row, and nothing after the last newline
    QCOMPARE(lines.at(0), QByteArray("time,seconds,ch0_count,ch0_mv"));
}

void TstRecorder::aRemovedFileEndsTheRecording()
{
#ifdef Q_OS_WIN
    QSKIP("Windows refuses to remove a file that a program holds open: a recording cannot lose its file there");
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gone.csv"));
    Recorder rec;
    QCOMPARE(rec.start(path, front::Format::Csv, 6, false, false), Recorder::Opened::Ok);
    std::mt19937 rng(3);
    QVERIFY(rec.write(randomScan(1, 0, rng, 6, false)));
    QVERIFY(rec.checkFile());
    QVERIFY(QFile::remove(path));
    QVERIFY(!rec.checkFile());
    QVERIFY(!rec.active());
    QVERIFY2(rec.error().contains(QLatin1String("removed")), qPrintable(rec.error()));
}

QTEST_GUILESS_MAIN(TstRecorder)
#include "tst_recorder.moc"
