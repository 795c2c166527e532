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
    // Timers on time: a 1 ms pause at full speed must stay 1 ms.
    requestPreciseTimers();
    preferOwnEventLoop();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zoltctl"));
    QCoreApplication::setApplicationVersion(QLatin1String(zoltversion::kVersionText));
    return zoltctl::run(QCoreApplication::arguments());
}
