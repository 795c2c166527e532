// zoltscope as a user starts it: recording from the command line on the
// simulated module, ended by SIGTERM; the file holds whole rows only, and the
// program ends with status 0. Bad options end it with status 2.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class TstZoltScope : public QObject {
    Q_OBJECT

private slots:
    void sigtermEndsARecordingWhole();
    void badOptionsAreRefused();

private:
    QProcessEnvironment environment(const QTemporaryDir& dir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        return env;
    }
};

void TstZoltScope::sigtermEndsARecordingWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    QProcess p;
    p.setProcessEnvironment(environment(dir));
    p.start(QStringLiteral(ZOLTSCOPE_EXE), {QStringLiteral("--simulate"), QStringLiteral("--record"), path});
    QVERIFY(p.waitForStarted());
    const auto rows = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') - 1 : -1;
    };
    QVERIFY2(QTest::qWaitFor([&] { return rows() >= 30; }, 30000), p.readAllStandardError().constData());
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);

    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    QVERIFY(all.endsWith('\n'));
    QList<QByteArray> lines = all.split('\n');
    lines.removeLast();
    QVERIFY(lines.size() >= 31);
    const qsizetype columns = lines.at(0).split(',').size();
    QCOMPARE(columns, 2 + 2 * 7 + 3);   // the remembered defaults: channels 0 to 6 and the lines
    double seconds = -1;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).split(',');
        QCOMPARE(fields.size(), columns);
        const double s = fields.at(1).toDouble();
        QVERIFY(s >= seconds);
        seconds = s;
    }
}

void TstZoltScope::badOptionsAreRefused()
{
    QTemporaryDir dir;
    for (const QStringList& args : {QStringList{QStringLiteral("--baud"), QStringLiteral("1200")},
                                    QStringList{QStringLiteral("--format"), QStringLiteral("xml")},
                                    QStringList{QStringLiteral("--port"), QStringLiteral("COM99")},
                                    QStringList{QStringLiteral("--interval"), QStringLiteral("2s")},
                                    QStringList{QStringLiteral("--setup"), QStringLiteral("/nonexistent/s.json")},
                                    QStringList{QStringLiteral("--mqtt"), QStringLiteral("mqtt://h/p"),
                                                QStringLiteral("--mqtt-discovery")}}) {
        QProcess p;
        p.setProcessEnvironment(environment(dir));
        p.start(QStringLiteral(ZOLTSCOPE_EXE), args);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains("zoltscope: "));
    }
}

QTEST_GUILESS_MAIN(TstZoltScope)
#include "tst_zoltscope.moc"
