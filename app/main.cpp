#include "link/QtSerialControl.h"
#include "platform/PreciseTimers.h"
#include "app/ZoltProgram.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    requestPreciseTimers();
    QApplication::setApplicationName(QStringLiteral("ZOLT Control"));
    QApplication::setApplicationVersion(QStringLiteral("0.2.426"));

    ZoltProgram program(std::make_unique<QtSerialControl>(), [] { QCoreApplication::exit(0); });
    program.start();
    if (program.programEnded())
        return 0;
    return app.exec();
}
