#include "platform/PreciseTimers.h"

#include <QtGlobal>
#include <QByteArray>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

void requestPreciseTimers()
{
#ifdef Q_OS_LINUX
    constexpr unsigned long kSlackNs = 1;   // the smallest the kernel takes
    (void)::prctl(PR_SET_TIMERSLACK, kSlackNs, 0UL, 0UL, 0UL);
#endif
}

void preferOwnEventLoop()
{
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", QByteArrayLiteral("1"));
}
