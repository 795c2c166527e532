// zoltscope: ZOLT Scope, the module's signals over time. Everything is in
// the zolt_scope library; this reads the command line, makes the window and
// ends it cleanly on Ctrl-C or SIGTERM.

#include "generated/ZoltVersion.h"
#include "platform/PreciseTimers.h"
#include "platform/TerminationSignals.h"
#include "scope/ScopeOptions.h"
#include "scope/ScopeWindow.h"
#ifdef ZOLT_HAS_MQTT
#include "ctl/MqttRun.h"
#endif

#include <QApplication>
#include <QSettings>
#include <cstdio>

int main(int argc, char* argv[])
{
    requestPreciseTimers();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("ZOLT"));
    QCoreApplication::setApplicationName(QStringLiteral("zoltscope"));
    QCoreApplication::setApplicationVersion(QLatin1String(zoltversion::kVersionText));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("ZOLT Scope"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zolt.ZOLTScope"));

    const scope::ParsedScopeLine parsed = scope::parseScopeLine(QCoreApplication::arguments());
    switch (parsed.action) {
    case scope::ParsedScopeLine::Action::Help:
        std::fputs(parsed.text.toLocal8Bit().constData(), stdout);
        return 0;
    case scope::ParsedScopeLine::Action::Version:
        std::printf("zoltscope %s\n", zoltversion::kVersionText);
        return 0;
    case scope::ParsedScopeLine::Action::Error:
        std::fprintf(stderr, "zoltscope: %s (zoltscope --help lists the options)\n", parsed.text.toLocal8Bit().constData());
        return 2;
    case scope::ParsedScopeLine::Action::Run:
        break;
    }
    const scope::ScopeOptions& options = parsed.options;
#ifdef ZOLT_HAS_MQTT
    if (options.publish.discoveryRemove) {
        const zoltctl::MqttRun::Removed removed = zoltctl::MqttRun::removeDiscovery(options.publish, QStringLiteral("zoltscope"));
        if (removed.status != zoltctl::ExitStatus::Ok)
            std::fprintf(stderr, "zoltscope: %s\n", removed.message.toLocal8Bit().constData());
        return zoltctl::code(removed.status);
    }
#endif

    QSettings settings;
    scope::ScopeWindow window(settings);
    // Ctrl-C and SIGTERM close the window as its Quit does: a recording ends
    // after the row in hand, and the choices are kept.
    TerminationSignals stopSignals;
    QObject::connect(&stopSignals, &TerminationSignals::received, &window, &QWidget::close);
    if (options.setup)
        window.useSetup(*options.setup);
    window.resize(scope::ScopeWindow::kDefaultSize);
    window.show();

    if (options.mqtt.enabled) {
        const QString why = window.connectToBroker(options.mqtt);
        if (!why.isEmpty())
            std::fprintf(stderr, "zoltscope: %s\n", why.toLocal8Bit().constData());
        else if (options.start)
            window.startSampling();
        return app.exec();
    }
    if (options.publish.enabled && !options.linkGiven && !options.start) {
        std::fprintf(stderr, "zoltscope: --publish needs a module: a port, --simulate or --start\n");
        return 2;
    }
    if (options.linkGiven || options.start) {
        const QString why = options.linkGiven ? window.connectTo(options.link) : window.connectChosen();
        QString broker;
        if (why.isEmpty() && options.publish.enabled)
            broker = window.publishTo(options.publish);
        if (!broker.isEmpty())
            std::fprintf(stderr, "zoltscope: %s\n", broker.toLocal8Bit().constData());
        if (!why.isEmpty()) {
            std::fprintf(stderr, "zoltscope: %s\n", why.toLocal8Bit().constData());
        } else if (!options.record.isEmpty()) {
            const QString failed = window.startRecording(options.record, options.format, options.replace);
            if (!failed.isEmpty())
                std::fprintf(stderr, "zoltscope: %s\n", failed.toLocal8Bit().constData());
        } else if (options.start) {
            window.startSampling();
        }
    }
    return app.exec();
}
