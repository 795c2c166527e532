// ZOLT Scope ended by SIGTERM while a dialog is open: the question whether
// to replace an existing recording (asked at start, over the window) and the
// export file dialog while a recording runs. Each is a nested event loop
// that must not hold the program: it ends with status 0 within 2 s, and the
// recording file holds whole rows only (the kept file is left as it was).
//
// The program is this test's own executable started with --child: the
// program's code path (runScope) with a watcher that names each dialog on
// standard output once it is open, and, for the export, asks for one.

#include "scope/ScopeOptions.h"
#include "scope/ScopeProgram.h"
#include "scope/ScopeWindow.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kRowsBeforeExport = 20;

int child(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("ZOLT"));
    QCoreApplication::setApplicationName(QStringLiteral("zoltscope"));
    QStringList args = QCoreApplication::arguments();
    args.removeAt(1);   // --child
    const bool exportDialog = args.removeAll(QStringLiteral("--open-export")) > 0;
    const scope::ParsedScopeLine parsed = scope::parseScopeLine(args);
    if (parsed.action != scope::ParsedScopeLine::Action::Run)
        return 2;

    QTimer watch;
    bool named = false;
    bool exported = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && !named) {
            named = true;
            std::printf("dialog: %s\n", qPrintable(modal->windowTitle()));
            std::fflush(stdout);
        }
        if (!exportDialog || exported)
            return;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<scope::ScopeWindow*>(w);
            if (!window || window->recorder().rows() < kRowsBeforeExport)
                continue;
            exported = true;
            for (QAction* a : window->findChildren<QAction*>())
                if (a->text() == u"Export PNG")   // not from within the watch: it goes on while the dialog runs
                    QTimer::singleShot(0, a, &QAction::trigger);
        }
    });
    watch.start(20);
    return scope::runScope(parsed.options);
}

} // namespace

class TstScopeSignals : public QObject {
    Q_OBJECT

private slots:
    void sigtermEndsItWithADialogOpen_data();
    void sigtermEndsItWithADialogOpen();
};

void TstScopeSignals::sigtermEndsItWithADialogOpen_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<bool>("existing");
    QTest::newRow("replace question") << QStringLiteral("Replace file?") << true;
    QTest::newRow("export dialog") << QStringLiteral("Export") << false;
}

void TstScopeSignals::sigtermEndsItWithADialogOpen()
{
    QFETCH(QString, dialog);
    QFETCH(bool, existing);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    const QByteArray yesterday = "yesterday's run\n";
    if (existing) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(yesterday);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    QProcess p;
    p.setProcessEnvironment(env);
    QStringList args{QStringLiteral("--child"), QStringLiteral("--simulate"), QStringLiteral("--record"), path};
    if (!existing)
        args << QStringLiteral("--open-export");
    p.start(QCoreApplication::applicationFilePath(), args);
    QVERIFY(p.waitForStarted());
    QByteArray said;
    QVERIFY2(QTest::qWaitFor([&] {
                 said += p.readAllStandardOutput();
                 return said.contains("dialog: ") && said.endsWith('\n');
             }, 30000),
             p.readAllStandardError().constData());
    QCOMPARE(said.trimmed(), QStringLiteral("dialog: %1").arg(dialog).toUtf8());

    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    QElapsedTimer ending;
    ending.start();
    QVERIFY2(p.waitForFinished(2000), qPrintable(QStringLiteral("still running after %1 ms").arg(ending.elapsed())));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);

    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    if (existing) {
        QCOMPARE(all, yesterday);
        return;
    }
    QVERIFY(all.endsWith('\n'));
    QList<QByteArray> lines = all.split('\n');
    lines.removeLast();
    QVERIFY(lines.size() > kRowsBeforeExport);
    const qsizetype columns = lines.at(0).split(',').size();
    for (const QByteArray& line : lines)
        QCOMPARE(line.split(',').size(), columns);
}

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return child(argc, argv);
    QCoreApplication app(argc, argv);
    TstScopeSignals test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_scopesignals.moc"
