// ZOLTrc on a simulated 232ZOLT: the same program, started the same way, with
// the module on COM2 and no other port. The module's inputs move by
// themselves (a sine on channel 0, a triangle on 1, a fixed level on 2, the
// four analog outputs fed back on 3 to 6, lines 4 and 5 toggling), so every
// window has something to show without hardware. Unlike ZOLTrc it also ends,
// as its Exit does, on SIGTERM or Ctrl-C, so a script can start and stop it.

#include "app/ZoltProgram.h"
#include "generated/ZoltVersion.h"
#include "platform/PreciseTimers.h"
#include "platform/TerminationSignals.h"
#include "sim/SimSerialControl.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    requestPreciseTimers();
    preferOwnEventLoop();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(zoltversion::kProgramTitle));
    QApplication::setApplicationVersion(QLatin1String(zoltversion::kVersionText));

    auto comm = std::make_unique<SimSerialControl>(ZoltWire::Timing::Wire);
    // The demo may run for hours; keep the line's record from growing.
    comm->wire().setRecording(false);
    comm->wire().setExchangeLimit(1000);
    ZoltProgram program(std::move(comm), [] { QCoreApplication::exit(0); });
    TerminationSignals termination;
    // As Exit does, also while one of its dialogs is open.
    termination.endApplication([&program] { program.End(); });
    program.start();
    if (program.programEnded())
        return 0;
    return app.exec();
}
