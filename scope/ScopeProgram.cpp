#include "scope/ScopeProgram.h"

#include "platform/TerminationSignals.h"
#ifdef ZOLT_HAS_MQTT
#include "front/MqttRun.h"
#endif
#include "scope/ScopeWindow.h"

#include <QApplication>
#include <QSettings>
#include <QTimer>
#include <cstdio>

namespace scope {

namespace {

void complain(const QString& why)
{
    if (!why.isEmpty())
        std::fprintf(stderr, "zoltscope: %s\n", why.toLocal8Bit().constData());
}

// What the options ask for, once the window is up: a question (an existing
// recording file) then shows over the window.
void begin(ScopeWindow& window, const ScopeOptions& options)
{
    if (options.pauseMs)
        window.setPause(*options.pauseMs);
    if (!options.open.isEmpty()) {
        complain(window.openRecording(options.open));
        // What was wrong with the file goes to the terminal too, once read.
        const RecordingLoader* loader = &window.recording();
        QObject::connect(loader, &RecordingLoader::reachedEnd, &window, [loader] {
            if (!loader->problems().isEmpty())
                complain(QStringLiteral("%1: %2").arg(loader->path(), loader->problems()));
        });
        return;
    }
    if (options.mqtt.enabled) {
        const QString why = window.connectToBroker(options.mqtt);
        complain(why);
        if (why.isEmpty() && options.start)
            window.startSampling();
        return;
    }
    if (!options.linkGiven && !options.start)
        return;
    const QString why = options.linkGiven ? window.connectTo(options.link) : window.connectChosen();
    if (why.isEmpty() && options.publish.enabled)
        complain(window.publishTo(options.publish));
    if (!why.isEmpty())
        complain(why);
    else if (!options.record.isEmpty())
        complain(window.startRecording(options.record, options.format, options.replace));
    else if (options.start)
        window.startSampling();
}

} // namespace

int runScope(const ScopeOptions& options)
{
#ifdef ZOLT_HAS_MQTT
    if (options.publish.discoveryRemove) {
        const front::MqttRun::Removed removed =
            front::MqttRun::removeDiscovery(options.publish, QStringLiteral("zoltscope"));
        complain(removed.message);
        // As zoltctl's statuses: 2 for the password file, 7 for the broker.
        switch (removed.failure) {
        case front::MqttRun::Failure::None: return 0;
        case front::MqttRun::Failure::Password: return 2;
        case front::MqttRun::Failure::Broker: return 7;
        }
        return 7;
    }
#endif
    if (options.publish.enabled && !options.linkGiven && !options.start && !options.mqtt.enabled) {
        complain(QStringLiteral("--publish needs a module: a port, --simulate or --start"));
        return 2;
    }
    QSettings settings;
    ScopeWindow window(settings);
    // Ctrl-C and SIGTERM end the program as Quit does (a recording ends
    // after the row in hand, the choices are kept), also while a dialog is open.
    TerminationSignals stopSignals;
    stopSignals.endApplication([&window] { window.close(); });
    if (options.setup)
        window.session().setSetup(*options.setup);
    window.resize(ScopeWindow::kDefaultSize);
    window.show();
    QTimer::singleShot(0, &window, [&window, &options] { begin(window, options); });
    return QApplication::exec();
}

} // namespace scope
