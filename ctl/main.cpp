// zoltctl: the 232ZOLT from scripts. Everything is in zoltctl::run; this only
// makes the application object and hands over the arguments.

#include "ctl/ZoltCtl.h"
#include "generated/ZoltVersion.h"
#include "platform/PreciseTimers.h"

#include <QCoreApplication>
#include <csignal>

int main(int argc, char* argv[])
{
#ifdef Q_OS_UNIX
    // A reader that goes away shows as a failed write, which ends sampling cleanly.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    // Timers on time: the default 50 us slack is 5 % of the 1 ms pause at full speed.
    requestPreciseTimers();
    QCoreApplication::setApplicationName(QStringLiteral("zoltctl"));
    QCoreApplication::setApplicationVersion(QLatin1String(zoltversion::kVersionText));
    return zoltctl::run(QCoreApplication::arguments());
}
