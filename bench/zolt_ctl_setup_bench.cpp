// zoltctl with a channel setup beside zoltctl without one, in the same run:
// `sample --interval max --digital` (channels 0 to 6) on the simulated module
// (line-timed at 9600 baud), taking turns, without and with --setup, and
// counting the rows each wrote a second (from its own seconds column, after
// the first second) and the processor time a row. Prints the minimum, median
// and maximum of the turns and the load average; passes or fails nothing.
//
//   zolt_ctl_setup_bench            5 turns of 10 s each way
//   zolt_ctl_setup_bench --quick    3 turns of 4 s

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Spread {
    double min = 0, median = 0, max = 0;
};

Spread spread(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? Spread{} : Spread{v.front(), v[v.size() / 2], v.back()};
}

QByteArray loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().split(' ').mid(0, 3).join(' ') : QByteArray("?");
}

double childrenCpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A bench's setup: every input scaled, two calibrated, the lines named.
const QByteArray kSetup = R"({"format": 1,
  "inputs": [
    {"input": 0, "name": "supply", "unit": "V", "gain": 0.001, "offset": 0},
    {"input": 1, "name": "rail", "unit": "V", "gain": 0.002, "offset": -0.5},
    {"input": 2, "name": "boiler", "unit": "°C", "calibration": [{"mv": 400, "value": 0}, {"mv": 2400, "value": 100}]},
    {"input": 3, "name": "flow", "unit": "l/min", "gain": 0.0123, "offset": 1.5},
    {"input": 4, "name": "level", "unit": "%", "gain": 0.02, "offset": 0},
    {"input": 5, "name": "pressure", "unit": "bar", "calibration": [{"mv": 500, "value": 0}, {"mv": 4500, "value": 10}]},
    {"input": 6, "name": "spare", "unit": "mV", "gain": 1, "offset": 0}],
  "lines": [{"line": 3, "name": "pump", "low": "off", "high": "on"},
            {"line": 4, "name": "door", "low": "closed", "high": "open"}]})";

struct Turn {
    double rowsPerSecond = -1;
    double cpuUsPerRow = 0;
};

Turn run(const QString& exe, int seconds, const QString& out, const QString& setup)
{
    QStringList args{QStringLiteral("--simulate"), QStringLiteral("sample"), QStringLiteral("--interval"),
                     QStringLiteral("max"), QStringLiteral("--digital"), QStringLiteral("--duration"),
                     QString::number(seconds + 1), QStringLiteral("--output"), out};
    if (!setup.isEmpty())
        args += {QStringLiteral("--setup"), setup};
    const double cpu0 = childrenCpuSeconds();
    QProcess p;
    p.start(exe, args);
    if (!p.waitForFinished((seconds + 30) * 1000) || p.exitCode() != 0)
        return {};
    const double cpu = childrenCpuSeconds() - cpu0;
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    std::vector<double> secs;
    long long rows = 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        bool ok = false;
        const double s = line.split(',').value(1).toDouble(&ok);
        rows += ok ? 1 : 0;
        if (ok && s >= 1.0)
            secs.push_back(s);
    }
    if (secs.size() < 2 || rows == 0)
        return {};
    return {static_cast<double>(secs.size() - 1) / (secs.back() - secs.front()), cpu / static_cast<double>(rows) * 1e6};
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int turns = quick ? 3 : 5;
    const int seconds = quick ? 4 : 10;
    const QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/../ctl/zoltctl");
    if (!QFile::exists(exe)) {
        std::printf("skipped: build zoltctl first\n");
        return 0;
    }
    QTemporaryDir dir;
    const QString setup = dir.filePath(QStringLiteral("setup.json"));
    QFile f(setup);
    if (!f.open(QIODevice::WriteOnly) || f.write(kSetup) != kSetup.size())
        return 1;
    f.close();

    std::printf("zoltctl --simulate sample --interval max --digital (channels 0-6), 9600 baud, %d turns of %d s\n",
                turns, seconds);
    std::printf("load average at the start: %s\n\n", loadAverage().constData());
    std::vector<double> plainRate, setupRate, plainCpu, setupCpu, ratio;
    for (int k = 0; k < turns; ++k) {
        const Turn a = run(exe, seconds, dir.filePath(QStringLiteral("plain.csv")), {});
        const Turn b = run(exe, seconds, dir.filePath(QStringLiteral("setup.csv")), setup);
        std::printf("turn %d: without %.2f rows/s (%.0f us CPU a row), with --setup %.2f rows/s (%.0f us), %.1f %%, "
                    "load %s\n",
                    k + 1, a.rowsPerSecond, a.cpuUsPerRow, b.rowsPerSecond, b.cpuUsPerRow,
                    a.rowsPerSecond > 0 ? 100.0 * b.rowsPerSecond / a.rowsPerSecond : 0.0, loadAverage().constData());
        std::fflush(stdout);
        plainRate.push_back(a.rowsPerSecond);
        setupRate.push_back(b.rowsPerSecond);
        plainCpu.push_back(a.cpuUsPerRow);
        setupCpu.push_back(b.cpuUsPerRow);
        if (a.rowsPerSecond > 0)
            ratio.push_back(b.rowsPerSecond / a.rowsPerSecond);
    }
    const Spread pr = spread(plainRate), sr = spread(setupRate), pc = spread(plainCpu), sc = spread(setupCpu),
                 r = spread(ratio);
    std::printf("\n| zoltctl | rows/s min / median / max | CPU us a row min / median / max |\n|---|---|---|\n");
    std::printf("| without a setup | %.2f / **%.2f** / %.2f | %.0f / **%.0f** / %.0f |\n", pr.min, pr.median, pr.max,
                pc.min, pc.median, pc.max);
    std::printf("| with --setup | %.2f / **%.2f** / %.2f | %.0f / **%.0f** / %.0f |\n", sr.min, sr.median, sr.max,
                sc.min, sc.median, sc.max);
    std::printf("\nwith / without, turn by turn: %.1f / **%.1f** / %.1f %%\n", 100 * r.min, 100 * r.median, 100 * r.max);
    std::printf("load average at the end: %s\n", loadAverage().constData());
    return 0;
}
