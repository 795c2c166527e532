// zoltctl: the 232ZOLT from scripts. Everything is in zoltctl::run; this only
// makes the application object and hands over the arguments.

#include "ctl/ZoltCtl.h"
#include "generated/ZoltVersion.h"

#include <QCoreApplication>
#include <csignal>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

int main(int argc, char* argv[])
{
#ifdef Q_OS_UNIX
    // A reader that goes away shows as a failed write, which ends sampling cleanly.
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef Q_OS_LINUX
    // Timers on time: the default 50 us slack is 5 % of the 1 ms pause at full speed.
    (void)::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zoltctl"));
    QCoreApplication::setApplicationVersion(QLatin1String(zoltversion::kVersionText));
    return zoltctl::run(QCoreApplication::arguments());
}
