#include "front/SetupChoice.h"

#include <QCommandLineParser>

namespace front {

namespace {

const QString kSetup = QStringLiteral("setup");

} // namespace

QCommandLineOption SetupChoice::option()
{
    return QCommandLineOption(kSetup,
                              QStringLiteral("Channel setup (JSON): names, units and scales of the inputs, words of "
                                             "the lines."),
                              QStringLiteral("file"));
}

QString SetupChoice::take(const QCommandLineParser& parser)
{
    if (!parser.isSet(kSetup))
        return {};
    path = parser.value(kSetup);
    if (path.isEmpty())
        return QStringLiteral("--setup needs a file name");
    const SetupRead read = ChannelSetup::load(path);
    if (!read.setup)
        return QStringLiteral("--setup %1: %2").arg(path, read.message());
    setup = read.setup;
    return {};
}

} // namespace front
