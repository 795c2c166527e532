// Not a test: saves a picture of ZOLT Scope's window in each of its states,
// on the simulated module and on a pseudo-terminal module that goes away
// (see take.sh): sampling live, held with the cursor, recording, a recording
// stopped by a full disk, the clock axis with a fitted mV axis, the port
// lost, and a day-long recording opened; a channel setup with two units,
// and its dialog.

#include "scope/ScopeChart.h"
#include "scope/ScopeWindow.h"
#include "scope/SetupDialog.h"
#include "sim/PtyModule.h"
#include "tests/scope/DayRecording.h"
#include "tests/screenshots/Shot.h"
#include "tests/support/Controls.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(out);
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("scope.conf")), QSettings::IniFormat);
    settings.setValue(QStringLiteral("chart/window"), 0);   // 10 s
    scope::ScopeWindow window(settings);
    window.resize(1280, 860);
    window.show();
    bool ok = saveShot(window, out, QStringLiteral("scope-idle"));

    front::LinkOptions demo;
    demo.simulate = true;
    window.connectTo(demo);
    window.startSampling();
    QTest::qWait(1500);
    window.setAnalogOutput(0, 3000);
    window.setAnalogOutput(2, 1200);
    QTest::qWait(2500);
    ok = saveShot(window, out, QStringLiteral("scope-live")) && ok;

    window.chart().zoomBy(0.5);
    window.chart().placeCursor(window.chart().xAxis->range().center());
    window.chart().replot();
    QTest::qWait(1200);
    ok = saveShot(window, out, QStringLiteral("scope-held-cursor")) && ok;
    window.chart().setLive(true);

    window.startRecording(dir.filePath(QStringLiteral("run.csv")), front::Format::Csv);
    QTest::qWait(2200);
    ok = saveShot(window, out, QStringLiteral("scope-recording")) && ok;
    window.stopRecording();

    window.startRecording(QStringLiteral("/dev/full"), front::Format::Jsonl, true);
    QTest::qWait(1200);
    ok = saveShot(window, out, QStringLiteral("scope-full-disk")) && ok;

    const auto combo = [&](const QString& name) { return findNamedForReader<QComboBox>(window, name); };
    combo(QStringLiteral("Time axis"))->setCurrentIndex(1);
    combo(QStringLiteral("Millivolt axis"))->setCurrentIndex(1);
    QTest::qWait(1200);
    ok = saveShot(window, out, QStringLiteral("scope-clock-fitted")) && ok;
    combo(QStringLiteral("Time axis"))->setCurrentIndex(0);
    combo(QStringLiteral("Millivolt axis"))->setCurrentIndex(0);

    // A bench's setup: the supplies in volts, a thermometer on input 2, a door on line 4.
    front::ChannelSetup setup;
    for (int ch = 0; ch < front::kSetupInputs; ++ch) {
        front::InputSetup in = setup.input(ch);
        in.name = ch == 0 ? QStringLiteral("supply A") : QStringLiteral("rail %1").arg(ch);
        in.unit = QStringLiteral("V");
        in.gain = 0.001;
        setup.setInput(ch, in);
    }
    front::InputSetup boiler = setup.input(2);
    boiler.name = QStringLiteral("boiler");
    boiler.unit = QStringLiteral("°C");
    boiler.calibration = {{{400, 0}, {2400, 100}}};
    boiler.gain = 0.05;
    boiler.offset = -20;
    setup.setInput(2, boiler);
    front::LineSetup door = setup.line(4);
    door.name = QStringLiteral("door");
    door.low = QStringLiteral("closed");
    door.high = QStringLiteral("open");
    setup.setLine(4, door);
    window.useSetup(setup);
    window.setAnalogOutput(2, 2100);
    QTest::qWait(2500);
    window.chart().placeCursor(window.chart().xAxis->range().upper - 2);
    window.chart().replot();
    QTest::qWait(600);
    ok = saveShot(window, out, QStringLiteral("scope-two-units")) && ok;
    {
        scope::SetupDialog dialog(setup);
        dialog.show();
        QTest::qWait(600);
        ok = saveShot(dialog, out, QStringLiteral("scope-setup-dialog")) && ok;
    }
    window.useSetup(front::ChannelSetup());
    window.stopSampling();

    const QString link = dir.filePath(QStringLiteral("ttyZOLT"));
    auto module = std::make_unique<PtyModule>(ZoltWire::Timing::Wire);
    QFile::link(module->devicePath(), link);
    front::LinkOptions pty;
    pty.device = link;
    pty.presenceCheck = false;
    window.connectTo(pty);
    window.startSampling();
    QTest::qWait(2000);
    module.reset();
    QFile::remove(link);
    ok = QTest::qWaitFor([&] { return !window.bannerText().isEmpty(); }, 10000) && ok;
    QTest::qWait(1200);
    ok = saveShot(window, out, QStringLiteral("scope-port-lost")) && ok;
    window.stopSampling();

    const QString day = dir.filePath(QStringLiteral("day.csv"));
    ok = scopetest::writeDay(day, 3'300'000) > 0 && ok;
    ok = window.openRecording(day, false).isEmpty() && ok;
    ok = QTest::qWaitFor([&] { return window.recording().atEnd(); }, 60000) && ok;
    QTest::qWait(1200);
    ok = saveShot(window, out, QStringLiteral("scope-day-opened")) && ok;
    return ok ? 0 : 1;
}
