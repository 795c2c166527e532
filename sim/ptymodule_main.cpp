// A simulated 232ZOLT behind a pseudo-terminal, for any serial program: it
// prints the device to open on its first line of output, answers there like
// the module with the line's timing, and stops on Ctrl-C or SIGTERM.
//
//   zolt-ptymodule                 time the line at the baud rate the client sets
//   zolt-ptymodule --baud 2400     time it at 2400 baud whatever the client sets
//   zolt-ptymodule --zero-time     answer at once, no line time

#include "platform/TerminationSignals.h"
#include "sim/PtyModule.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr int kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

bool knownBaud(int baud)
{
    for (const int b : kBaudRates) {
        if (b == baud)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zolt-ptymodule"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated 232ZOLT on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption baudOption(QStringLiteral("baud"),
        QStringLiteral("Time the line at this baud rate instead of the one the client sets."), QStringLiteral("rate"));
    const QCommandLineOption zeroOption(QStringLiteral("zero-time"), QStringLiteral("Answer without line time."));
    const QCommandLineOption quietOption(QStringLiteral("quiet"), QStringLiteral("Print the device only."));
    parser.addOptions({baudOption, zeroOption, quietOption});
    parser.process(app);

    int baud = 0;
    if (parser.isSet(baudOption)) {
        bool ok = false;
        baud = parser.value(baudOption).toInt(&ok);
        if (!ok || !knownBaud(baud)) {
            std::fprintf(stderr, "zolt-ptymodule: unsupported baud rate %s\n", qPrintable(parser.value(baudOption)));
            return 2;
        }
    }

    PtyModule module(parser.isSet(zeroOption) ? ZoltWire::Timing::ZeroTime : ZoltWire::Timing::Wire);
    if (!module.isOpen()) {
        std::fprintf(stderr, "zolt-ptymodule: %s\n", qPrintable(module.errorString()));
        return 1;
    }
    // It may run for hours: keep no record of the traffic.
    module.wire().setRecording(false);
    module.wire().setExchangeLimit(1000);
    if (baud > 0)
        module.pinBaud(baud);

    // Ctrl-C and SIGTERM end the event loop in order, also when a shell
    // started this in the background with Ctrl-C ignored.
    TerminationSignals termination;
    if (!termination.installed()) {
        std::fprintf(stderr, "zolt-ptymodule: cannot take over SIGINT and SIGTERM\n");
        return 1;
    }
    termination.endApplication();

    std::printf("%s\n", qPrintable(module.devicePath()));
    if (!parser.isSet(quietOption)) {
        std::fprintf(stderr, "zolt-ptymodule: a 232ZOLT on %s, %s; Ctrl-C ends\n", qPrintable(module.devicePath()),
                     parser.isSet(zeroOption) ? "zero-time line"
                     : baud > 0              ? qPrintable(QStringLiteral("line timed at %1 baud").arg(baud))
                                             : "line timed at the client's baud rate");
    }
    std::fflush(stdout);

    return app.exec();
}
