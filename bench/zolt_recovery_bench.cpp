// Figures for ZOLTrc when things go wrong, on the real port control and the
// simulated module on a pseudo-terminal (timed line): how long a lost reply
// holds up continuous sampling, how long the program takes to sample again
// once a lost device is back, and what a 10 MB flood of noise does to memory.
// Prints tables; passes or fails nothing.
//
//   zolt_recovery_bench           7 repeats of each, about a minute
//   zolt_recovery_bench --quick   3 repeats

#include "app/Form1.h"
#include "app/ZoltProgram.h"
#include "bench/BenchFigures.h"
#include "bench/OffscreenWithoutDisplay.h"
#include "link/BaudOptions.h"
#include "link/QtSerialControl.h"
#include "link/ReplyDeadline.h"
#include "platform/PreciseTimers.h"
#include "sim/EventLoopWait.h"
#include "sim/PtyModule.h"
#include "tests/support/PluggedProgram.h"
#include "tests/support/ProcessFigures.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using benchfigures::loadAverage;
using benchfigures::Spread;
using benchfigures::spreadOf;

constexpr int kWaitMs = 10000;

// The program on a port whose device is a link to the module's pseudo-terminal.
struct Bench : PluggedProgram {
    bool idle() { return m().RxMode == kRxIdle && comm->InBufferCount() == 0; }

    bool startSampling(int top)
    {
        click(QStringLiteral("ADCmdbut(%1)").arg(top));
        if (!runUntil([&] { return idle(); }, kWaitMs))
            return false;
        find<QAction>(QStringLiteral("MaxSamp"))->trigger();
        click(QStringLiteral("Command12"));
        const long long ticks = m().SampCount;
        return runUntil([&] { return m().SampCount > ticks + 3; }, kWaitMs);
    }
    void stopSampling()
    {
        click(QStringLiteral("Command6"));
        runUntil([&] { return idle(); }, kWaitMs);
    }
};

// From the write of the command whose reply is lost to the end of the next
// complete scan, ms; negative if that did not happen.
double lostReplyMs(Bench& b, int top)
{
    // Between cycles no reply is on its way, so the next one is the one lost.
    if (!runUntil([&] { return b.m().RxMode == kRxIdle; }, kWaitMs))
        return -1;
    ZoltWire& wire = b.module->wire();
    const qint64 fromUs = wire.nowUs();
    const long long missed = b.m().MissedReplies;
    b.module->dropReplyBytes(2 * (top + 1));
    if (!runUntil([&] { return b.m().MissedReplies > missed && !b.m().ReplyOverdue; }, kWaitMs))
        return -1;
    const qint64 doneUs = wire.nowUs();
    for (const ZoltWire::Exchange& ex : wire.exchanges()) {
        if (ex.writtenUs >= fromUs)
            return static_cast<double>(doneUs - ex.writtenUs) / 1000.0;
    }
    return -1;
}

void printSpread(const char* label, const Spread& s)
{
    std::printf("  %-34s %8.1f %8.1f %8.1f   (%d)\n", label, s.min, s.median, s.max, s.count);
}

} // namespace

int main(int argc, char* argv[])
{
    offscreenWithoutDisplay();
    requestPreciseTimers();   // as ZOLTrc does
    preferOwnEventLoop();
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int repeats = quick ? 3 : 7;

    std::printf("ZOLTrc recovery on the simulated 232ZOLT behind a pseudo-terminal (%s, %d repeats)\n",
                quick ? "quick" : "full", repeats);
    std::printf("load average at start: %s\n\n", loadAverage().constData());

    // --- A lost reply during sampling at "Max Speed".
    std::printf("Lost reply to the next complete scan, ms (Max Speed)     min   median      max\n");
    for (const BaudOption& offered : kBaudOptions) {
        const int baud = offered.rate;
        for (const int top : {0, 6}) {
            Bench b;
            b.comm->setSettings(QStringLiteral("%1,N,8,1").arg(baud));
            if (!b.startSampling(top)) {
                std::printf("  %d baud, top %d: sampling did not start\n", baud, top);
                continue;
            }
            std::vector<double> times;
            for (int i = 0; i < repeats; ++i) {
                const double ms = lostReplyMs(b, top);
                if (ms >= 0)
                    times.push_back(ms);
                runFor(20);
            }
            b.stopSampling();
            const int deadline = replydeadline::deadlineMs(5, 2 * (top + 1), baud);
            const QByteArray label = QStringLiteral("%1 baud, channels 0-%2 (deadline %3)").arg(baud).arg(top).arg(deadline).toLatin1();
            printSpread(label.constData(), spreadOf(times));
            std::fflush(stdout);
        }
    }

    // --- The device goes away during sampling and comes back.
    std::printf("\nDevice back to the next complete scan, ms (9600 baud, channel 0, Max Speed)\n");
    std::printf("  (the watch looks every %d ms; the device returns at varied points of that)\n",
                SerialControl::kReturnWatchMs);
    {
        Bench b;
        std::vector<double> reopened;
        std::vector<double> scanned;
        if (b.startSampling(0)) {
            for (int i = 0; i < repeats; ++i) {
                b.pullOut();
                if (!runUntil([&] { return !b.comm->PortOpen(); }, kWaitMs))
                    break;
                runFor(300 + 71 * i);   // spreads the return over the watch's period
                QElapsedTimer clock;
                clock.start();
                b.plugIn();
                if (!runUntil([&] { return b.comm->PortOpen(); }, kWaitMs))
                    break;
                reopened.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
                ZoltWire& wire = b.module->wire();
                const bool scan = runUntil([&] {
                    for (const ZoltWire::Exchange& ex : wire.exchanges()) {
                        if (ex.command.kind == ZoltModel::Kind::ReadAnalog && ex.deliveredUs >= 0)
                            return b.idle();
                    }
                    return false;
                }, kWaitMs);
                if (scan)
                    scanned.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            }
            b.stopSampling();
        }
        std::printf("                                        min   median      max\n");
        printSpread("port open again", spreadOf(reopened));
        printSpread("first complete scan", spreadOf(scanned));
    }

    // --- 10 MB of noise, while idle and while sampling.
    std::printf("\nResident memory around a 10 MB flood of noise, KiB\n");
    std::printf("  while      before     after      grow  peak(HWM)  flood s  readings right after\n");
    for (const bool sampling : {false, true}) {
        Bench b;
        if (sampling && !b.startSampling(2))
            continue;
        b.module->sendNoise(256 * 1024);   // the first use of every buffer on the way
        runUntil([&] { return b.module->noiseLeft() == 0; }, 60000);
        runFor(200);
        const long before = statusKiB("VmRSS:");
        QElapsedTimer clock;
        clock.start();
        b.module->sendNoise(10 * 1024 * 1024);
        const bool done = runUntil([&] { return b.module->noiseLeft() == 0; }, 300000);
        const double floodS = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        runFor(200);
        const long after = statusKiB("VmRSS:");
        // Readings: the cycles after the noise show input 2's fixed level.
        if (!sampling) {
            b.find<QAction>(QStringLiteral("MaxSamp"))->trigger();
            b.click(QStringLiteral("ADCmdbut(2)"));
            runUntil([&] { return b.idle(); }, kWaitMs);
        } else {
            const long long ticks = b.m().SampCount;
            runUntil([&] { return b.m().SampCount > ticks + 1; }, kWaitMs);
        }
        const bool right = b.find<QLineEdit>(QStringLiteral("ADValTxt(2)"))->text()
            == QStringLiteral(" %1").arg(ZoltModel::kFixedLevelCounts);
        if (sampling)
            b.stopSampling();
        std::printf("  %-8s  %7ld   %7ld   %7ld   %8ld  %7.1f%s  %s\n", sampling ? "sampling" : "idle", before, after,
                    after - before, statusKiB("VmHWM:"), floodS, done ? "" : " (not all sent)", right ? "yes" : "NO");
        std::fflush(stdout);
    }

    std::printf("\nload average at end: %s\n", loadAverage().constData());
    return 0;
}
