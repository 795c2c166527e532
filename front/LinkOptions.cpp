#include "front/LinkOptions.h"

#include "link/BaudOptions.h"
#include "link/SerialControl.h"

#include <QCommandLineParser>

namespace front {

namespace {

const QString kPort = QStringLiteral("port");
const QString kDevice = QStringLiteral("device");
const QString kBaud = QStringLiteral("baud");
const QString kSimulate = QStringLiteral("simulate");
const QString kNoPresenceCheck = QStringLiteral("no-presence-check");

LinkOptionsRead refused(const QString& error)
{
    LinkOptionsRead read;
    read.error = error;
    return read;
}

} // namespace

std::optional<int> parseComPort(const QString& text)
{
    QString digits = text;
    if (digits.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        digits = digits.mid(3);
    bool ok = false;
    const int port = digits.toInt(&ok, 10);
    if (!ok || port < SerialControl::kMinPort || port > SerialControl::kMaxPort)
        return std::nullopt;
    return port;
}

QCommandLineOption simulateOption()
{
    return QCommandLineOption(kSimulate, QStringLiteral("Use a simulated module on COM2, with the serial line's timing."));
}

QList<QCommandLineOption> linkOptionList()
{
    return {
        QCommandLineOption(kPort, QStringLiteral("The module's COM port, COM1 to COM16 (default: as ZOLTrc chooses)."),
                           QStringLiteral("COMn")),
        QCommandLineOption(kDevice, QStringLiteral("The module's serial device, instead of a COM port."),
                           QStringLiteral("path")),
        QCommandLineOption(kBaud, QStringLiteral("%1 (default %2).").arg(baudRatesText(), QLatin1String(kDefaultBaud.caption)),
                           QStringLiteral("rate")),
        simulateOption(),
        QCommandLineOption(kNoPresenceCheck,
                           QStringLiteral("Do not require DSR and CTS to be held (a pseudo-terminal has neither).")),
    };
}

void addLinkOptions(QCommandLineParser& parser)
{
    parser.addOptions(linkOptionList());
}

LinkOptionsRead linkOptionsFrom(const QCommandLineParser& parser)
{
    LinkOptionsRead read;
    LinkOptions& o = read.options;
    o.simulate = parser.isSet(kSimulate);
    o.presenceCheck = !parser.isSet(kNoPresenceCheck);
    if (parser.isSet(kPort) && parser.isSet(kDevice))
        return refused(QStringLiteral("give --port or --device, not both"));
    if (o.simulate && parser.isSet(kDevice))
        return refused(QStringLiteral("--simulate has no device; use --port to pick a COM port"));
    if (parser.isSet(kPort)) {
        const QString text = parser.value(kPort);
        const auto port = parseComPort(text);
        if (!port)
            return refused(QStringLiteral("--port must be COM1 to COM16, not '%1'").arg(text));
        o.port = *port;
    }
    if (parser.isSet(kDevice)) {
        o.device = parser.value(kDevice);
        if (o.device.isEmpty())
            return refused(QStringLiteral("--device needs a path"));
    }
    if (parser.isSet(kBaud)) {
        const QString text = parser.value(kBaud);
        bool number = false;
        const BaudOption* offered = baudOptionForRate(text.toInt(&number, 10));
        if (!number || !offered)
            return refused(QStringLiteral("--baud must be %1, not '%2'").arg(baudRatesText(), text));
        o.baud = offered->rate;
    }
    return read;
}

} // namespace front
