// ZOLTrc itself, its windows and all, sampling at "Max Speed" on a
// pseudo-terminal through its QSerialPort control until stopped. The port
// the user would choose in the settings dialog is COM2 here, the pty.
//
//   zolt_rc_pty DEVICE BAUD TOP [digital]

#include "app/Form1.h"
#include "app/ZoltProgram.h"
#include "bench/OffscreenWithoutDisplay.h"
#include "bench/PtyLinesControl.h"
#include "link/Module1.h"
#include "platform/PreciseTimers.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    offscreenWithoutDisplay();
    requestPreciseTimers();   // as ZOLTrc does
    preferOwnEventLoop();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: zolt_rc_pty DEVICE BAUD TOP [digital]\n");
        return 2;
    }
    const int top = args[3].toInt();
    const bool digital = args.size() > 4 && args[4] == QLatin1String("digital");

    ZoltProgram program(std::make_unique<PtyLinesControl>(PtyLinesControl::moduleOn(args[1])),
                        [] { QCoreApplication::exit(0); });
    program.start();
    if (program.programEnded() || !program.comm().PortOpen()) {
        std::fprintf(stderr, "zolt_rc_pty: the port did not open: %s\n", qPrintable(program.comm().lastError()));
        return 1;
    }
    if (!program.comm().setSettings(QStringLiteral("%1,N,8,1").arg(args[2]))) {
        std::fprintf(stderr, "zolt_rc_pty: bad baud rate %s\n", qPrintable(args[2]));
        return 2;
    }

    // What the user does: a channel button, D-On when the digital lines are
    // wanted, "Max Speed", Start. The channel button reads once; sampling
    // starts when that reply is in.
    Form1& form = program.form1();
    auto button = [&form](const QString& name) { return form.findChild<QPushButton*>(name); };
    button(QStringLiteral("ADCmdbut(%1)").arg(top))->click();
    if (digital)
        button(QStringLiteral("Command7"))->click();
    form.findChild<QAction*>(QStringLiteral("MaxSamp"))->trigger();
    QTimer startWhenIdle;
    QObject::connect(&startWhenIdle, &QTimer::timeout, &app, [&] {
        if (program.module().RxMode != kRxIdle)
            return;
        startWhenIdle.stop();
        button(QStringLiteral("Command12"))->click();
    });
    startWhenIdle.start(10);
    return app.exec();
}
