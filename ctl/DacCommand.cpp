#include "ctl/DacCommand.h"

#include "ctl/Exchange.h"
#include "front/ModuleLink.h"
#include "link/Protocol.h"

#include <algorithm>

namespace zoltctl {

DacCommand::DacCommand()
    : LinkCommand(QStringLiteral("dac"), QStringLiteral("Sets analog output 0..3 to 0..4300 mV."))
{
    addArgument(QStringLiteral("CHANNEL"), QStringLiteral("The analog output, 0 to 3."));
    addArgument(QStringLiteral("MILLIVOLTS"), QStringLiteral("0 to 4300, whole millivolts."));
}

QString DacCommand::takeOwn(const QCommandLineParser&, const QStringList& arguments)
{
    const auto channel = wholeNumber(arguments.at(0));
    if (!channel || *channel < 0 || *channel >= protocol::kDacChannels)
        return QStringLiteral("dac: CHANNEL must be 0 to 3, not '%1'").arg(arguments.at(0));
    // Whole millivolts, digits only, as the analog output window takes them.
    const QString& text = arguments.at(1);
    const bool digits = !text.isEmpty() && text.size() <= 4
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const auto mv = digits ? wholeNumber(text) : std::nullopt;
    if (!mv || *mv > protocol::kDacMaxMillivolts)
        return QStringLiteral("dac: MILLIVOLTS must be 0 to 4300, not '%1'").arg(text);
    m_channel = *channel;
    m_millivolts = *mv;
    return {};
}

ExitStatus DacCommand::run(front::ModuleLink& link)
{
    // Wait until the bytes are out: closing the port at once could cut them off.
    (void)Exchange(link).setAnalogOutput(m_channel, m_millivolts);
    const Module1& m = link.module();
    const int range = m.DacData[m_channel][0];
    const int dacCode = m.DacData[m_channel][1];
    const double given = dacCode * (range ? protocol::kDacHighStep : protocol::kDacLowStep);
    print(stdout, QStringLiteral("output %1: range %2, code %3, %4 mV\n")
                      .arg(m_channel)
                      .arg(range)
                      .arg(dacCode)
                      .arg(given, 0, 'f', 1));
    return ExitStatus::Ok;
}

} // namespace zoltctl
