#include "ctl/ReadCommand.h"

#include "front/ModuleLink.h"
#include "link/Acquisition.h"
#include "link/Protocol.h"

#include <QCommandLineParser>

namespace zoltctl {

QList<QCommandLineOption> ChannelChoice::options()
{
    return {
        QCommandLineOption(QStringLiteral("channels"), QStringLiteral("Channels 0 to N, N = 0..6 (default 6)."),
                           QStringLiteral("N")),
        QCommandLineOption(QStringLiteral("digital"), QStringLiteral("Digital lines 3 to 5 as well.")),
    };
}

QString ChannelChoice::take(const QCommandLineParser& parser)
{
    digital = parser.isSet(QStringLiteral("digital"));
    if (parser.isSet(QStringLiteral("channels"))) {
        const QString text = parser.value(QStringLiteral("channels"));
        const auto top = wholeNumber(text);
        if (!top || *top < 0 || *top > protocol::kMaxAnalogChannel)
            return QStringLiteral("--channels must be 0 to 6, not '%1'").arg(text);
        topChannel = *top;
    }
    return {};
}

ExitStatus replyFailure(const front::ModuleLink& link, const Exchange::Outcome& outcome, const char* what)
{
    if (outcome.why == acquisition::Acquisition::Failure::PortLost)
        return fail(ExitStatus::Port, QStringLiteral("the port was lost while waiting for %1").arg(QLatin1String(what)));
    return fail(ExitStatus::NoReply,
                QStringLiteral("no reply from the module on %1 to %2").arg(link.portLabel(), QLatin1String(what)));
}

QString digitalTable(const Module1& m, const front::ChannelSetup* setup)
{
    QString text = QStringLiteral("line  level\n");
    for (int line = acquisition::kFirstDigitalLine;
         line < acquisition::kFirstDigitalLine + acquisition::kDigitalLines; ++line) {
        text += QStringLiteral("%1  %2").arg(line, 4).arg(m.DigData[line][0], 5);
        if (setup)
            text += QStringLiteral("  %1  %2").arg(setup->line(line).word(m.DigData[line][0] ? 1 : 0), setup->line(line).name);
        text += u'\n';
    }
    return text;
}

ReadCommand::ReadCommand()
    : LinkCommand(QStringLiteral("read"), QStringLiteral("One reading of channels 0 to N: counts and millivolts."))
{
    for (const QCommandLineOption& o : ChannelChoice::options())
        addOption(o);
    addOption(front::SetupChoice::option());
}

QString ReadCommand::takeOwn(const QCommandLineParser& parser, const QStringList&)
{
    if (QString error = m_channels.take(parser); !error.isEmpty())
        return error;
    return m_setup.take(parser);
}

ExitStatus ReadCommand::run(front::ModuleLink& link)
{
    Exchange exchange(link);
    const Exchange::Outcome outcome = exchange.scan(m_channels.topChannel, m_channels.digital);
    if (!outcome.done) {
        const bool digital = outcome.read == acquisition::Acquisition::Read::Digital;
        return replyFailure(link, outcome, digital ? "the digital read" : "the analog read");
    }
    const acquisition::Scan& scan = exchange.lastScan();
    const front::ChannelSetup* setup = m_setup.get();
    QString text = setup ? QStringLiteral("channel  count    mV  value  name\n") : QStringLiteral("channel  count    mV\n");
    for (int ch = 0; ch <= m_channels.topChannel; ++ch) {
        text += QStringLiteral("%1  %2  %3").arg(ch, 7).arg(scan.counts[ch], 5).arg(scan.millivolts[ch], 4);
        if (setup)
            text += QStringLiteral("  %1  %2").arg(setup->valueText(ch, scan.millivolts[ch]), setup->input(ch).name);
        text += u'\n';
    }
    if (m_channels.digital)
        text += digitalTable(link.module(), setup);
    print(stdout, text);
    return ExitStatus::Ok;
}

} // namespace zoltctl
