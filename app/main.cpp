#include "app/ZoltProgram.h"
#include "generated/ZoltVersion.h"
#include "link/QtSerialControl.h"
#include "platform/PreciseTimers.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    requestPreciseTimers();
    preferOwnEventLoop();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(zoltversion::kProgramTitle));
    QApplication::setApplicationVersion(QLatin1String(zoltversion::kVersionText));

    ZoltProgram program(std::make_unique<QtSerialControl>(), [] { QCoreApplication::exit(0); });
    program.start();
    if (program.programEnded())
        return 0;
    return app.exec();
}
