// ZOLT Scope's window on the simulated module: the chart holds exactly the
// scans recorded at the same time; outputs set while sampling show on the
// inputs wired to them; a recording that cannot be written stops while
// sampling goes on; an existing file is kept unless the user agrees; the
// choices come back in the next run; the chart tells a screen reader what it
// shows; and a port that goes away shows the banner until it returns.

#include "front/RowFormat.h"
#include "scope/ScopeChart.h"
#include "scope/ScopeWindow.h"
#include "scope/SetupDialog.h"
#include "tests/scope/WindowRig.h"
#include "tests/support/Controls.h"
#ifdef ZOLT_HAVE_PTY
#include "sim/PtyModule.h"
#endif

#include <QApplication>
#include <QComboBox>
#include <QTableWidget>
#include <QTimer>
#include <QFile>
#include <QSettings>
#include <QPushButton>
#include <QAction>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using scope::ScopeWindow;

namespace {

constexpr int kWaitMs = 20000;

struct Rig : scopetest::WindowRig {
    Rig()
        : WindowRig(1)
    {
    }
    QString demo()
    {
        front::LinkOptions link;
        link.simulate = true;
        return window->connectTo(link);
    }
    bool waitForScans(long long n, int ms = kWaitMs)
    {
        return QTest::qWaitFor([&] { return window->store().size() >= n; }, ms);
    }
    QList<QByteArray> lines(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> l = f.readAll().split('\n');
        if (!l.isEmpty() && l.last().isEmpty())
            l.removeLast();
        return l;
    }
};

} // namespace

class TstScopeWindow : public QObject {
    Q_OBJECT

private slots:
    void theChartHoldsExactlyTheScansRecorded();
    void outputsSetWhileSamplingShowOnTheWiredInputs();
    void aFullDiskStopsTheRecordingAndSamplingGoesOn();
    void anExistingFileIsReplacedOnlyWhenTheUserAgrees();
    void choicesComeBackInTheNextRun();
    void theChartDescribesWhatItShows();
    void aLostPortShowsTheBannerUntilItReturns();
    void aSetupFromTheDialogReachesTheFiguresAndTheRecording();
};

void TstScopeWindow::theChartHoldsExactlyTheScansRecorded()
{
    Rig rig;
    QCOMPARE(rig.demo(), QString());
    const QString path = rig.dir.filePath(QStringLiteral("run.csv"));
    QCOMPARE(rig.window->startRecording(path, front::Format::Csv), QString());
    QVERIFY(rig.window->sampling());
    QVERIFY(rig.waitForScans(80));
    // Sampling stops first, so that no scan comes after the last row.
    rig.window->stopSampling();
    rig.window->stopRecording();

    const scope::ScanStore& store = rig.window->store();
    const QList<QByteArray> rows = rig.lines(path);
    QCOMPARE(rows.size() - 1, store.size());
    front::RowFormat format(front::Format::Csv, 6, true);
    QCOMPARE(rows.at(0) + '\n', format.header());
    for (long long i = 0; i < store.size(); ++i) {
        const acquisition::Scan s = store.scan(i);
        QCOMPARE(s.seq, i + 1);
        const std::string_view row = format.row(s);
        QCOMPARE(rows.at(static_cast<qsizetype>(i) + 1) + '\n', QByteArray(row.data(), static_cast<qsizetype>(row.size())));
    }
    // The simulated inputs move: the chart's figures are not all one value.
    rig.window->chart().setWindowSeconds(0);
    rig.window->chart().refresh(true);
    QVERIFY(rig.window->chart().reduction().stats[0].max > rig.window->chart().reduction().stats[0].min);
}

void TstScopeWindow::outputsSetWhileSamplingShowOnTheWiredInputs()
{
    Rig rig;
    QCOMPARE(rig.demo(), QString());
    rig.window->startSampling();
    QVERIFY(rig.waitForScans(5));
    const auto last = [&](int channel) {
        const scope::ScanStore& s = rig.window->store();
        return s.millivolts(s.size() - 1, channel);
    };
    // Outputs 0..3 are wired to inputs 3..6; the module gives the output in
    // steps of 14.71 mV, and the input reads it to a count.
    const std::array<int, 4> mv{1000, 2500, 400, 3700};
    for (int c = 0; c < 4; ++c) {
        rig.window->setAnalogOutput(c, mv[c]);
        QCOMPARE(findNamedForReader<QSpinBox>(*rig.window, QStringLiteral("Analog output %1, millivolts").arg(c))->value(), mv[c]);
    }
    for (int c = 0; c < 4; ++c)
        QVERIFY2(QTest::qWaitFor([&] { return std::abs(last(3 + c) - mv[c]) <= 20; }, kWaitMs),
                 qPrintable(QStringLiteral("input %1 reads %2 mV, output %3 was set to %4").arg(3 + c).arg(last(3 + c)).arg(c).arg(mv[c])));
    QVERIFY(rig.window->sampling());
    rig.window->setDigitalOutput(true);
    QVERIFY(QTest::qWaitFor([&] { const auto& s = rig.window->store(); return s.line(s.size() - 1, 0) == 1; }, kWaitMs));
    rig.window->setDigitalOutput(false);
    QVERIFY(QTest::qWaitFor([&] { const auto& s = rig.window->store(); return s.line(s.size() - 1, 0) == 0; }, kWaitMs));
    // Sampling never stopped: the scans kept coming.
    const long long before = rig.window->store().size();
    QVERIFY(rig.waitForScans(before + 5));
}

void TstScopeWindow::aFullDiskStopsTheRecordingAndSamplingGoesOn()
{
    Rig rig;
    QCOMPARE(rig.demo(), QString());
    // JSON lines have no header, so the first row is what fails.
    QCOMPARE(rig.window->startRecording(QStringLiteral("/dev/full"), front::Format::Jsonl, true), QString());
    QVERIFY(QTest::qWaitFor([&] { return !rig.window->recorder().active(); }, kWaitMs));
    QVERIFY(rig.window->recorder().error().contains(QLatin1String("/dev/full")));
    QVERIFY(rig.window->sampling());
    const long long n = rig.window->store().size();
    QVERIFY(rig.waitForScans(n + 10));
    // The window says so where the recording is shown.
    const QList<QLabel*> labels = rig.window->findChildren<QLabel*>();
    QVERIFY(std::any_of(labels.begin(), labels.end(), [](QLabel* l) { return l->text().contains(QLatin1String("recording stopped")); }));
}

void TstScopeWindow::anExistingFileIsReplacedOnlyWhenTheUserAgrees()
{
    Rig rig;
    QCOMPARE(rig.demo(), QString());
    const QString path = rig.dir.filePath(QStringLiteral("old.csv"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("yesterday's run\n");
    }
    QStringList asked;
    bool agree = false;
    rig.window->askReplace = [&](const QString& p) {
        asked << p;
        return agree;
    };
    QVERIFY(!rig.window->startRecording(path, front::Format::Csv).isEmpty());
    QCOMPARE(asked, QStringList{path});
    QVERIFY(!rig.window->recorder().active());
    QCOMPARE(rig.lines(path), QList<QByteArray>{"yesterday's run"});

    agree = true;
    QCOMPARE(rig.window->startRecording(path, front::Format::Csv), QString());
    QVERIFY(rig.waitForScans(3));
    QVERIFY(QTest::qWaitFor([&] { return rig.window->recorder().rows() >= 3; }, kWaitMs));
    rig.window->stopRecording();
    QVERIFY(rig.lines(path).at(0).startsWith("time,seconds,"));
}

void TstScopeWindow::choicesComeBackInTheNextRun()
{
    Rig rig;
    auto* window = rig.window.get();
    const QString top = QStringLiteral("Channels, 0 to top channel");
    const QString pause = QStringLiteral("Pause between scans");
    findNamedForReader<QSpinBox>(*window, top)->setValue(3);
    findNamedForReader<QComboBox>(*window, pause)->setEditText(QStringLiteral("250"));
    window->chart().setColour(2, QColor(Qt::red));
    findNamedForReader<QComboBox>(*window, QStringLiteral("Time window"))->setCurrentIndex(3);   // 1 h
    window->close();   // saves

    ScopeWindow again(rig.settings);
    QCOMPARE(findNamedForReader<QSpinBox>(again, top)->value(), 3);
    QCOMPARE(findNamedForReader<QComboBox>(again, pause)->currentText(), QStringLiteral("250"));
    QCOMPARE(again.chart().colour(2), QColor(Qt::red));
    QCOMPARE(again.chart().windowSeconds(), 3600.0);
}

void TstScopeWindow::theChartDescribesWhatItShows()
{
    Rig rig;
    QCOMPARE(rig.demo(), QString());
    // Started, held and stopped by toggling, as a screen reader's toggle
    // action does (it does not click).
    auto* start = findNamedForReader<QPushButton>(*rig.window, QStringLiteral("Start or stop sampling"));
    start->toggle();
    QVERIFY(rig.window->sampling());
    QVERIFY(rig.waitForScans(20));
    QTRY_VERIFY_WITH_TIMEOUT(rig.window->chart().accessibleDescription().contains(QLatin1String("Channel 6: last")), kWaitMs);
    QAction* hold = nullptr;
    for (QAction* a : rig.window->findChildren<QAction*>())
        hold = a->text() == u"Hold" ? a : hold;
    QVERIFY(hold);
    hold->toggle();
    QVERIFY(!rig.window->chart().live());
    hold->toggle();
    QVERIFY(rig.window->chart().live());
    start->toggle();
    QVERIFY(!rig.window->sampling());
    rig.window->chart().refresh(true);
    QTest::qWait(1100);   // the figures follow within a second
    const scope::SeriesStats& st = rig.window->chart().reduction().stats[0];
    const QString expected = QStringLiteral("Channel 0: last %1 mV, minimum %2 mV, maximum %3 mV").arg(st.last).arg(st.min).arg(st.max);
    QVERIFY2(rig.window->chart().accessibleDescription().contains(expected), qPrintable(rig.window->chart().accessibleDescription()));
    QCOMPARE(rig.window->chart().accessibleName(), QStringLiteral("Chart"));
}

void TstScopeWindow::aLostPortShowsTheBannerUntilItReturns()
{
#ifndef ZOLT_HAVE_PTY
    QSKIP("the module behind a pseudo-terminal needs POSIX");
#else
    Rig rig;
    // The module's device under a name of its own, as an adapter's is.
    const QString link = rig.dir.filePath(QStringLiteral("ttyZOLT"));
    auto module = std::make_unique<PtyModule>(ZoltWire::Timing::Wire);
    QVERIFY(QFile::link(module->devicePath(), link));
    front::LinkOptions options;
    options.device = link;
    options.presenceCheck = false;
    QCOMPARE(rig.window->connectTo(options), QString());
    rig.window->startSampling();
    QVERIFY(rig.waitForScans(10));
    QCOMPARE(rig.window->bannerText(), QString());

    module.reset();
    QFile::remove(link);
    QVERIFY(QTest::qWaitFor([&] { return !rig.window->bannerText().isEmpty(); }, kWaitMs));
    QVERIFY2(rig.window->bannerText().contains(QStringLiteral("Waiting for %1 to return").arg(link)), qPrintable(rig.window->bannerText()));
    QVERIFY(rig.window->statusText().contains(QLatin1String("lost")));

    module = std::make_unique<PtyModule>(ZoltWire::Timing::Wire);
    QVERIFY(QFile::link(module->devicePath(), link));
    const long long before = rig.window->store().size();
    QVERIFY(QTest::qWaitFor([&] { return rig.window->bannerText().isEmpty(); }, kWaitMs));
    QVERIFY(rig.waitForScans(before + 10));
    QVERIFY(rig.window->sampling());
#endif
}

void TstScopeWindow::aSetupFromTheDialogReachesTheFiguresAndTheRecording()
{
    Rig rig;
    QCOMPARE(rig.demo(), QString());
    // Input 2 reads 1507 mV on the simulated module, as the assistant takes it.
    scope::SetupDialog dialog(rig.window->channelSetup(), [](int input) { return std::optional<double>(input == 2 ? 1507 : 0); });
    QTableWidget* inputs = dialog.inputs();
    inputs->item(2, 1)->setText(QStringLiteral("boiler"));
    inputs->item(2, 2)->setText(QStringLiteral("°C"));
    // The assistant, as a user fills it: 400 mV at 0 °C, and the present reading at 55.35 °C.
    QTimer::singleShot(0, this, [] {
        auto* calibration = qobject_cast<scope::CalibrationDialog*>(QApplication::activeModalWidget());
        QVERIFY(calibration);
        calibration->setPoints({400, 0}, {0, 55.35});
        findNamedForReader<QPushButton>(*calibration, QStringLiteral("Point 2, take the present reading"))->click();
        calibration->accept();
    });
    dialog.calibrate(2);
    QCOMPARE(inputs->item(2, 3)->text(), QStringLiteral("0.05"));
    QCOMPARE(inputs->item(2, 4)->text(), QStringLiteral("-20"));
    // Mistakes are named and nothing is taken until they are mended.
    inputs->item(3, 3)->setText(QStringLiteral("2x"));
    QCOMPARE(dialog.problem(), QStringLiteral("Input 3: the gain is not a number"));
    inputs->item(3, 3)->setText(QStringLiteral("1"));
    dialog.lines()->item(1, 1)->setText(QStringLiteral("door"));
    dialog.lines()->item(1, 2)->setText(QStringLiteral("shut"));
    dialog.lines()->item(1, 3)->setText(QStringLiteral("shut"));
    QVERIFY(dialog.problem().startsWith(QStringLiteral("Line 4: the words for 0 and 1 are both 'shut'")));
    dialog.lines()->item(1, 3)->setText(QStringLiteral("open"));
    const std::optional<front::ChannelSetup> setup = dialog.setup();
    QVERIFY2(setup, qPrintable(dialog.problem()));
    QVERIFY(setup->input(2).calibration);
    rig.window->useSetup(*setup);

    const QString path = rig.dir.filePath(QStringLiteral("scaled.csv"));
    QCOMPARE(rig.window->startRecording(path, front::Format::Csv), QString());
    QVERIFY(rig.waitForScans(30));
    rig.window->stopSampling();
    rig.window->stopRecording();
    const QList<QByteArray> rows = rig.lines(path);
    QVERIFY(rows.at(0).endsWith(",din5,ch0_value,ch1_value,ch2_value,ch3_value,ch4_value,ch5_value,ch6_value"));
    for (const QByteArray& row : rows.mid(1))
        QCOMPARE(row.split(',').at(21), QByteArray("55.35"));   // ch2_value
    const front::SetupRead sidecar = front::ChannelSetup::load(path + QStringLiteral(".setup.json"));
    QVERIFY(sidecar.setup && *sidecar.setup == *setup);

    // The figures and what a screen reader hears, in the setup's names and units.
    rig.window->chart().refresh(true);
    auto* figures = rig.window->findChild<QTableWidget*>(QStringLiteral("channels"));
    QCOMPARE(figures->item(2, 0)->text(), QStringLiteral("boiler"));
    QTRY_COMPARE(figures->item(2, 5)->text(), QStringLiteral("55.35"));
    QVERIFY2(rig.window->chart().accessibleDescription().contains(QStringLiteral("Channel 2, boiler: last 55.35 °C")),
             qPrintable(rig.window->chart().accessibleDescription()));
}

QTEST_MAIN(TstScopeWindow)
#include "tst_scopewindow.moc"
