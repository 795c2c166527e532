// zoltscope: ZOLT Scope, the module's signals over time. Everything is in
// the zolt_scope library; this reads the command line and runs the program.

#include "generated/ZoltVersion.h"
#include "platform/PreciseTimers.h"
#include "scope/ScopeOptions.h"
#include "scope/ScopeProgram.h"

#include <QApplication>
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
    return scope::runScope(parsed.options);
}
