// ZOLTrc beside the programs a user would use instead, on the same simulated
// module behind a pseudo-terminal, wire-timed at 10 bits a byte: the Python
// script, the minimal Qt poller and, where it has been built, zoltctl. Each
// client runs as a process of its own, sampling as fast as it can with a 1 ms
// pause between cycles; the module runs here. Cycles are counted on the line,
// from one analog scan command to the next, and the client's CPU time is read
// from the kernel's per-thread run time. Every figure is the minimum, median
// and maximum of the repeats. Prints Markdown tables; passes or fails nothing.
//
//   zolt_compare           all 12 configurations, 3 repeats, about 8 minutes
//   zolt_compare --quick   9600 baud only, shorter runs, about a minute and a half
//   zolt_compare --baud N  one baud rate (2400, 4800 or 9600), full windows
//   zolt_compare --glib    also ZOLTrc on GLib's event loop, beside its own
//   zolt_compare --repeats N  N repeats (1 to 20) instead of 3, for steadier
//                          medians on a machine whose timing scatters

#include "bench/BenchFigures.h"
#include "link/BaudOptions.h"
#include "sim/EventLoopWait.h"
#include "sim/PtyModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

namespace {

using benchfigures::loadAverage;
using benchfigures::Spread;
using benchfigures::spreadOf;

constexpr double PauseUs = 1000.0;   // the 1 ms every client waits between cycles
constexpr int DefaultRepeats = 3;
constexpr int MostRepeats = 20;
constexpr int RunInMs = 300;         // after the first exchanges, before counting
constexpr int StartTimeoutMs = 10000;
constexpr int kTops[] = {0, 6};

struct Client {
    QString name;
    QString program;
    // Arguments for device, baud, top channel and digital read.
    std::function<QStringList(const QString&, int, int, bool)> arguments;
    QString missing;   // why it cannot run, empty when it can
    // Variables set for this client's process (an empty value sets it empty).
    QList<std::pair<QString, QString>> environment = {};
};

struct Figures {
    double cyclesPerSecond = 0;
    double cpuUsPerCycle = 0;
};

// Run time of every thread of a process so far, in nanoseconds, from the
// scheduler's own account (user and system time together).
std::optional<qint64> cpuNs(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    const QStringList ids = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (ids.isEmpty())
        return std::nullopt;
    qint64 total = 0;
    for (const QString& id : ids) {
        QFile stat(tasks.filePath(id + QStringLiteral("/schedstat")));
        if (!stat.open(QIODevice::ReadOnly))
            return std::nullopt;
        total += stat.readAll().split(' ').value(0).toLongLong();
    }
    return total;
}

int lineBytes(int top, bool digital)
{
    return 5 + 2 * (top + 1) + (digital ? 4 + 1 : 0);
}

double lineLimit(int baud, int top, bool digital)
{
    return 1e6 / (lineBytes(top, digital) * 1e7 / baud + PauseUs);
}

// One run of one client: start it on a fresh module, let it settle, count for
// windowMs, stop it.
std::optional<Figures> measure(const Client& client, int baud, int top, bool digital, int windowMs, QString* why)
{
    PtyModule module(ZoltWire::Timing::Wire);
    if (!module.isOpen()) {
        *why = module.errorString();
        return std::nullopt;
    }
    module.pinBaud(baud);
    ZoltWire& wire = module.wire();
    wire.setRecording(false);

    QProcess process;
    process.setProgram(client.program);
    process.setArguments(client.arguments(module.devicePath(), baud, top, digital));
    process.setStandardOutputFile(QProcess::nullDevice());
    if (!client.environment.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : client.environment)
            env.insert(name, value);
        process.setProcessEnvironment(env);
    }
    process.start();
    if (!process.waitForStarted(StartTimeoutMs)) {
        *why = process.errorString();
        return std::nullopt;
    }
    auto stop = [&process] {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    };
    auto failed = [&](const QString& what) {
        stop();
        const QString err = QString::fromLocal8Bit(process.readAllStandardError()).trimmed().section(QLatin1Char('\n'), 0, 0);
        *why = err.isEmpty() ? what : what + QStringLiteral(": ") + err;
        return std::nullopt;
    };

    if (!runUntil([&] { return wire.exchanges().size() >= 3 || process.state() == QProcess::NotRunning; },
                  StartTimeoutMs)
        || process.state() == QProcess::NotRunning)
        return failed(QStringLiteral("no sampling"));
    runFor(RunInMs);
    wire.clearExchanges();
    const std::optional<qint64> cpu0 = cpuNs(process.processId());
    runFor(windowMs);
    const std::optional<qint64> cpu1 = cpuNs(process.processId());
    if (!cpu0 || !cpu1 || process.state() == QProcess::NotRunning)
        return failed(QStringLiteral("stopped while measured"));
    stop();

    const ZoltWire::ScanSpan span = wire.analogScans();
    if (span.scans < 2) {
        *why = QStringLiteral("fewer than two cycles");
        return std::nullopt;
    }
    Figures f;
    f.cyclesPerSecond = span.cyclesPerSecond();
    const double cycles = f.cyclesPerSecond * windowMs / 1000.0;
    f.cpuUsPerCycle = static_cast<double>(*cpu1 - *cpu0) / 1e3 / cycles;
    return f;
}

QString threeOf(const Spread& s, int decimals)
{
    return QStringLiteral("%1 / **%2** / %3")
        .arg(s.min, 0, 'f', decimals)
        .arg(s.median, 0, 'f', decimals)
        .arg(s.max, 0, 'f', decimals);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int windowMs = quick ? 1000 : 2500;
    int repeats = DefaultRepeats;
    if (const qsizetype at = app.arguments().indexOf(QStringLiteral("--repeats")); at > 0) {
        bool ok = false;
        repeats = app.arguments().value(at + 1).toInt(&ok);
        if (!ok || repeats < 1 || repeats > MostRepeats) {
            std::fprintf(stderr, "zolt_compare: --repeats takes a number from 1 to %d\n", MostRepeats);
            return 2;
        }
    }
    const QString here = QCoreApplication::applicationDirPath();

    std::vector<Client> clients;
    auto plain = [](const QString& device, int baud, int top, bool digital) {
        QStringList a{device, QString::number(baud), QString::number(top)};
        if (digital)
            a << QStringLiteral("digital");
        return a;
    };
    clients.push_back({QStringLiteral("ZOLTrc"), here + QStringLiteral("/zolt_rc_pty"), plain, {}});
    // --glib: ZOLTrc once more on GLib's event loop, which it does not choose
    // by itself (QT_NO_GLIB set, but empty).
    if (app.arguments().contains(QStringLiteral("--glib")))
        clients.push_back({QStringLiteral("ZOLTrc, GLib loop"), here + QStringLiteral("/zolt_rc_pty"), plain, {},
                           {{QStringLiteral("QT_NO_GLIB"), QString()}}});
    clients.push_back({QStringLiteral("Python script"), here + QStringLiteral("/zolt_script.py"), plain, {}});
    clients.push_back({QStringLiteral("Qt poller"), here + QStringLiteral("/zolt_poller"), plain, {}});
    clients.push_back({QStringLiteral("zoltctl"), here + QStringLiteral("/../ctl/zoltctl"),
                       [](const QString& device, int baud, int top, bool digital) {
                           // A pseudo-terminal holds neither DSR nor CTS.
                           QStringList a{QStringLiteral("sample"), QStringLiteral("--device"), device,
                                         QStringLiteral("--no-presence-check"),
                                         QStringLiteral("--baud"), QString::number(baud),
                                         QStringLiteral("--channels"), QString::number(top),
                                         QStringLiteral("--interval"), QStringLiteral("max")};
                           if (digital)
                               a << QStringLiteral("--digital");
                           return a;
                       },
                       {}});
    for (Client& c : clients) {
        if (!QFileInfo(c.program).isExecutable())
            c.missing = QStringLiteral("not built (%1)").arg(QDir::cleanPath(c.program));
    }

    std::printf("# Side by side on the pseudo-terminal module (%s)\n\n", quick ? "quick" : "full");
    std::printf("%d repeats of %.1f s each; figures are min / **median** / max. Load average (1, 5, 15 min) at the start: %s\n\n",
                repeats, windowMs / 1000.0, loadAverage().constData());
    for (const Client& c : clients) {
        if (!c.missing.isEmpty())
            std::printf("- %s skipped: %s\n", qPrintable(c.name), qPrintable(c.missing));
    }
    std::printf("\n| baud | channels | digital | client | cycles/s | share of the line's limit | CPU us per cycle | load average |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    std::fflush(stdout);

    std::vector<int> bauds;
    for (const BaudOption& offered : kBaudOptions)
        bauds.push_back(offered.rate);
    if (quick)
        bauds = {9600};
    // --baud N measures one baud rate only (the full run's windows).
    if (const qsizetype at = app.arguments().indexOf(QStringLiteral("--baud")); at > 0 && at + 1 < app.arguments().size())
        bauds = {app.arguments().at(at + 1).toInt()};
    for (const int baud : bauds) {
        for (const int top : kTops) {
            for (const bool digital : {false, true}) {
                const double limit = lineLimit(baud, top, digital);
                std::vector<std::vector<double>> rates(clients.size()), cpus(clients.size());
                std::vector<QString> problems(clients.size());
                // Clients take turns within a repeat, so that a burst of load
                // from elsewhere falls on all of them alike.
                for (int r = 0; r < repeats; ++r) {
                    for (std::size_t i = 0; i < clients.size(); ++i) {
                        if (!clients[i].missing.isEmpty())
                            continue;
                        QString why;
                        if (const auto f = measure(clients[i], baud, top, digital, windowMs, &why)) {
                            rates[i].push_back(f->cyclesPerSecond);
                            cpus[i].push_back(f->cpuUsPerCycle);
                        } else {
                            problems[i] = why;
                        }
                    }
                }
                const QString load = QString::fromLatin1(loadAverage().split(' ').value(0));
                for (std::size_t i = 0; i < clients.size(); ++i) {
                    if (!clients[i].missing.isEmpty())
                        continue;
                    const QString config = QStringLiteral("| %1 | 0-%2 | %3 | %4 |")
                                               .arg(baud).arg(top).arg(digital ? "on" : "off", clients[i].name);
                    if (rates[i].size() < static_cast<std::size_t>(repeats)) {
                        std::printf("%s failed: %s | | | %s |\n", qPrintable(config), qPrintable(problems[i]), qPrintable(load));
                        continue;
                    }
                    const Spread rate = spreadOf(rates[i]);
                    const Spread cpu = spreadOf(cpus[i]);
                    const Spread share{rate.min / limit, rate.median / limit, rate.max / limit, rate.count};
                    std::printf("%s %s | %s of %.1f | %s | %s |\n", qPrintable(config), qPrintable(threeOf(rate, 2)),
                                qPrintable(threeOf(share, 3)), limit, qPrintable(threeOf(cpu, 0)), qPrintable(load));
                }
                std::fflush(stdout);
            }
        }
    }
    std::printf("\nLoad average at the end: %s\n", loadAverage().constData());
    return 0;
}
