// Figures for ZOLTrc on the simulated module: sampling rate at "Max Speed"
// against what the line allows, the program's own cost per cycle, start-up
// time, memory and idle CPU. Prints tables; passes or fails nothing.
//
//   zolt_bench           about two minutes
//   zolt_bench --quick   a quick look, under half a minute
//   zolt_bench --profile N
//                        only N cycles of channels 0-6 and the digital read on
//                        the zero-time line, for a profiler: under callgrind,
//                        --zero-before='Form1::Command12_Click*' and
//                        --dump-before='Form1::Command6_Click*' count exactly
//                        those cycles (Start to Stop)

#include "app/Form1.h"
#include "app/ZoltProgram.h"
#include "bench/BenchFigures.h"
#include "bench/OffscreenWithoutDisplay.h"
#include "link/BaudOptions.h"
#include "bench/PtyLinesControl.h"
#include "link/QtSerialControl.h"
#include "platform/PreciseTimers.h"
#include "sim/EventLoopWait.h"
#include "sim/PtyModule.h"
#include "sim/SimSerialControl.h"
#include "tests/support/ProcessFigures.h"
#include "widgets/IndexedName.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

using benchfigures::cpuSeconds;

constexpr double kPauseUs = 1000.0;  // "Max Speed" waits 1 ms between cycles

// The share of one core the process takes while its event loop runs idle for
// the time, after 200 ms for the start-up to settle.
double idleCpuShare(int idleMs)
{
    runFor(200);
    const double cpu0 = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    runFor(idleMs);
    return (cpuSeconds() - cpu0) / (static_cast<double>(clock.nsecsElapsed()) / 1e9);
}

// What a bare 1 ms precise timer really pauses on this machine, with nothing
// else to do: the part of a cycle that no program code can shorten.
double platformPauseUs(int rounds)
{
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    timer.setInterval(1);
    QElapsedTimer clock;
    qint64 total = 0;
    int done = 0;
    QEventLoop loop;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        total += clock.nsecsElapsed();
        if (++done == rounds) {
            loop.quit();
            return;
        }
        clock.start();
        timer.start();
    });
    clock.start();
    timer.start();
    loop.exec();
    return static_cast<double>(total) / 1e3 / rounds;
}

struct Program {
    explicit Program(std::unique_ptr<SerialControl> comm)
        : program(std::move(comm), [] {})
    {
        program.start();
    }
    QPushButton* button(const QString& name) { return program.form1().findChild<QPushButton*>(name); }
    void menu(const char* name) { program.form1().findChild<QAction*>(QLatin1String(name))->trigger(); }
    bool idle() { return program.module().RxMode == 0 && program.comm().InBufferCount() == 0; }

    // Chooses channels and the digital read, then samples at "Max Speed"
    // for the given time after a short run-in. The cycle is timed on the
    // line, from one scan command's first byte to the next one's. Returns
    // cycles a second and the mean cycle in microseconds.
    std::pair<double, double> sample(ZoltWire& wire, int top, bool digital, int ms)
    {
        button(indexedName("ADCmdbut", top))->click();
        runUntil([&] { return idle(); }, 2000);
        const bool dinOn = program.module().DinMode > 0;
        if (dinOn != digital)
            button(QStringLiteral("Command7"))->click();
        menu("MaxSamp");
        button(QStringLiteral("Command12"))->click();
        runFor(200);
        wire.clearExchanges();
        const double cpu0 = cpuSeconds();
        runFor(ms);
        lastCpuSeconds = cpuSeconds() - cpu0;
        button(QStringLiteral("Command6"))->click();
        runUntil([&] { return idle(); }, 2000);
        runFor(20);
        const double perSecond = wire.analogScans().cyclesPerSecond();
        if (perSecond <= 0)
            return {0.0, 0.0};
        return {perSecond, 1e6 / perSecond};
    }

    ZoltProgram program;
    double lastCpuSeconds = 0;   // CPU of the whole process over the last sample()'s counted time
};

int lineBytes(int top, bool digital)
{
    return 5 + 2 * (top + 1) + (digital ? 4 + 1 : 0);
}

} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    offscreenWithoutDisplay();
    requestPreciseTimers();   // as ZOLTrc does
    preferOwnEventLoop();
    QApplication app(argc, argv);
    const double appUs = static_cast<double>(sinceMain.nsecsElapsed()) / 1000.0;
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int runMs = quick ? 1000 : 5000;
    const int costMs = quick ? 500 : 2000;
    const int idleMs = quick ? 1000 : 3000;

    if (const qsizetype at = app.arguments().indexOf(QStringLiteral("--profile")); at >= 0) {
        const long long cycles = app.arguments().value(at + 1).toLongLong();
        auto sim = std::make_unique<SimSerialControl>(ZoltWire::Timing::ZeroTime);
        sim->wire().setRecording(false);
        sim->wire().setExchangeLimit(16);
        Program p(std::move(sim));
        p.button(QStringLiteral("ADCmdbut(6)"))->click();
        runUntil([&] { return p.idle(); }, 2000);
        p.button(QStringLiteral("Command7"))->click();
        p.menu("MaxSamp");
        p.button(QStringLiteral("Command12"))->click();
        // A slow check, so that the wait adds next to nothing to the cycles.
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (p.program.module().SampCount >= cycles)
                loop.quit();
        });
        check.start(50);
        loop.exec();
        p.button(QStringLiteral("Command6"))->click();
        std::printf("profiled cycles: %lld (channels 0-6, digital read, zero-time line)\n", p.program.module().SampCount);
        return 0;
    }

    std::printf("ZOLTrc on the simulated 232ZOLT (%s, platform %s)\n\n", quick ? "quick" : "full",
                qPrintable(QApplication::platformName()));

    // --- Start-up, measured first so that nothing is warm yet.
    {
        QElapsedTimer clock;
        clock.start();
        Program p(std::make_unique<SimSerialControl>(ZoltWire::Timing::Wire));
        const double shownUs = static_cast<double>(clock.nsecsElapsed()) / 1000.0;
        const bool visible = p.program.form1().isVisible();
        QCoreApplication::processEvents();
        const double paintedUs = static_cast<double>(clock.nsecsElapsed()) / 1000.0;
        std::printf("Start-up\n");
        std::printf("  QApplication made, from main()        %8.1f ms\n", appUs / 1000);
        std::printf("  start() returned, main window %s  %8.1f ms\n", visible ? "shown " : "HIDDEN", shownUs / 1000);
        std::printf("  first pass of the event loop done     %8.1f ms\n", paintedUs / 1000);
        std::printf("  resident after start-up               %8ld KiB\n\n", statusKiB("VmRSS:"));
    }

    // --- Max Speed against the line's limit.
    std::printf("Max Speed on the timed line, %d s a row\n", runMs / 1000);
    std::printf("  baud  top  digital  bytes  cycles/s  limit/s  ratio  mean cycle us\n");
    for (const BaudOption& offered : kBaudOptions) {
        const int baud = offered.rate;
        for (const int top : {0, 6}) {
            for (const bool digital : {false, true}) {
                auto sim = std::make_unique<SimSerialControl>(ZoltWire::Timing::Wire);
                ZoltWire& wire = sim->wire();
                Program p(std::move(sim));
                p.program.comm().setSettings(QStringLiteral("%1,N,8,1").arg(baud));
                const auto [rate, cycleUs] = p.sample(wire, top, digital, runMs);
                const int bytes = lineBytes(top, digital);
                const double limit = 1e6 / (bytes * 1e7 / baud + kPauseUs);
                std::printf("  %4d  %3d  %-7s  %5d  %8.1f  %7.1f  %5.3f  %13.0f\n", baud, top, digital ? "on" : "off",
                            bytes, rate, limit, rate / limit, cycleUs);
                std::fflush(stdout);
            }
        }
    }

    // --- The program's own cost: no line time, so a cycle is the pause plus
    // whatever the program (and the simulated module) spend.
    const int bareRounds = quick ? 500 : 2000;
    const double bareCpu0 = cpuSeconds();
    const double platformUs = platformPauseUs(bareRounds);
    const double bareCpuUs = 1e6 * (cpuSeconds() - bareCpu0) / bareRounds;
    std::printf("\nCost per cycle beyond the 1 ms pause, zero-time line, %.1f s a row\n", costMs / 1000.0);
    std::printf("  (a bare 1 ms precise timer pauses %.1f us here: %.1f us of each cycle are the platform's)\n",
                platformUs, platformUs - kPauseUs);
    std::printf("  (and costs %.1f us of CPU a wake-up: the CPU per cycle beyond that is the program's and the module's)\n", bareCpuUs);
    std::printf("  control                top  digital  cycles/s  us/cycle  beyond pause us  beyond platform us  CPU us/cycle\n");
    for (const bool pty : {false, true}) {
        std::unique_ptr<PtyModule> module;
        for (const int top : {0, 6}) {
            for (const bool digital : {false, true}) {
                std::unique_ptr<SerialControl> comm;
                ZoltWire* wire = nullptr;
                if (pty) {
                    module = std::make_unique<PtyModule>(ZoltWire::Timing::ZeroTime);
                    module->wire().setRecording(false);
                    wire = &module->wire();
                    const QString device = module->devicePath();
                    comm = std::make_unique<PtyLinesControl>(PtyLinesControl::moduleOn(device));
                } else {
                    auto sim = std::make_unique<SimSerialControl>(ZoltWire::Timing::ZeroTime);
                    sim->wire().setRecording(false);
                    wire = &sim->wire();
                    comm = std::move(sim);
                }
                Program p(std::move(comm));
                if (!p.program.comm().PortOpen()) {
                    std::printf("  %-21s port did not open: %s\n", pty ? "QSerialPort on a pty" : "simulated",
                                qPrintable(p.program.comm().lastError()));
                    continue;
                }
                const auto [rate, cycleUs] = p.sample(*wire, top, digital, costMs);
                const double cpuUs = rate > 0 ? 1e6 * p.lastCpuSeconds / (rate * costMs / 1000.0) : 0.0;
                std::printf("  %-21s  %3d  %-7s  %8.1f  %8.1f  %15.1f  %18.1f  %12.1f\n", pty ? "QSerialPort on a pty" : "simulated",
                            top, digital ? "on" : "off", rate, cycleUs, cycleUs - kPauseUs, cycleUs - platformUs, cpuUs);
                std::fflush(stdout);
            }
        }
    }

    // --- Idle with the port open: no sampling, nothing sent.
    std::printf("\nCPU while idle with the port open, %d s\n", idleMs / 1000);
    {
        Program p(std::make_unique<SimSerialControl>(ZoltWire::Timing::Wire));
        const double share = idleCpuShare(idleMs);
        std::printf("  simulated control      %6.2f %% of one core\n", 100 * share);
    }
    {
        PtyModule module(ZoltWire::Timing::Wire);
        const QString device = module.devicePath();
        Program p(std::make_unique<PtyLinesControl>(PtyLinesControl::moduleOn(device)));
        const double share = idleCpuShare(idleMs);
        std::printf("  QSerialPort on a pty   %6.2f %% of one core (port %s; module and program in one process)\n",
                    100 * share, p.program.comm().PortOpen() ? "open" : "CLOSED");
    }

    std::printf("\nPeak resident memory    %ld KiB\n", statusKiB("VmHWM:"));
    return 0;
}
