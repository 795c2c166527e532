#include "ctl/DigitalCommands.h"

#include "ctl/ReadCommand.h"
#include "front/ModuleLink.h"
#include "link/Protocol.h"

namespace zoltctl {

DinCommand::DinCommand()
    : LinkCommand(QStringLiteral("din"), QStringLiteral("Reads digital lines 3 to 5."))
{
}

ExitStatus DinCommand::run(front::ModuleLink& link)
{
    Exchange exchange(link);
    const Exchange::Outcome outcome = exchange.readLines();
    if (!outcome.done)
        return replyFailure(link, outcome, "the digital read");
    print(stdout, digitalTable(link.module()));
    return ExitStatus::Ok;
}

DoutCommand::DoutCommand()
    : LinkCommand(QStringLiteral("dout"), QStringLiteral("Sets the digital output, then reads the lines back."))
{
    addArgument(QStringLiteral("on|off"), QStringLiteral("The output line's level."));
}

QString DoutCommand::takeOwn(const QCommandLineParser&, const QStringList& arguments)
{
    const QString& level = arguments.at(0);
    if (level == QLatin1String("on"))
        m_high = true;
    else if (level == QLatin1String("off"))
        m_high = false;
    else
        return QStringLiteral("dout: say on or off, not '%1'").arg(level);
    return {};
}

ExitStatus DoutCommand::run(front::ModuleLink& link)
{
    Exchange exchange(link);
    const Exchange::Outcome outcome = exchange.setOutputLine(m_high);
    if (!outcome.done)
        return replyFailure(link, outcome, "the read-back of the lines");
    print(stdout, QStringLiteral("output line %1 %2\n")
                      .arg(protocol::kOutputLine)
                      .arg(QLatin1String(m_high ? "on" : "off"))
                  + digitalTable(link.module()));
    return ExitStatus::Ok;
}

} // namespace zoltctl
