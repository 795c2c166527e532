#include "ctl/Command.h"

#include "front/ModuleLink.h"

#include <QCommandLineParser>

namespace zoltctl {

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

ExitStatus fail(ExitStatus status, const QString& message)
{
    print(stderr, QStringLiteral("zoltctl: %1\n").arg(message));
    return status;
}

std::optional<int> wholeNumber(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

Command::Command(QString name, QString summary)
    : m_name(std::move(name))
    , m_summary(std::move(summary))
{
}

Command::~Command() = default;

QString Command::synopsis() const
{
    QString text = m_name;
    for (const Argument& a : m_arguments)
        text += u' ' + a.name;
    return text;
}

bool Command::knowsOption(const QString& name) const
{
    for (const QCommandLineOption& o : m_options) {
        if (o.names().contains(name))
            return true;
    }
    return false;
}

void Command::setUp(QCommandLineParser& parser) const
{
    parser.setApplicationDescription(m_summary);
    parser.addOptions(m_options);
    for (const Argument& a : m_arguments)
        parser.addPositionalArgument(a.name, a.description);
}

Command::Parsed Command::parse(const QStringList& words)
{
    QCommandLineParser parser;
    setUp(parser);
    Parsed parsed;
    if (!parser.parse(QStringList{QStringLiteral("zoltctl")} + words)) {
        parsed.error = parser.errorText();
        parsed.unknownOptions = parser.unknownOptionNames();
        return parsed;
    }
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != m_arguments.size()) {
        parsed.error = QStringLiteral("%1 takes %2 argument(s), not %3")
                           .arg(m_name)
                           .arg(m_arguments.size())
                           .arg(arguments.size());
        return parsed;
    }
    parsed.error = take(parser, arguments);
    return parsed;
}

QString Command::helpText() const
{
    QCommandLineParser parser;
    setUp(parser);
    parser.addHelpOption();
    // The parser names the program in its usage line; the command goes there too.
    QString text = parser.helpText();
    const qsizetype lineEnd = text.indexOf(u'\n');
    const QString usage = QStringLiteral("Usage: zoltctl %1[options]%2")
                              .arg(m_name + u' ', m_arguments.isEmpty() ? QString() : u' ' + synopsis().mid(m_name.size() + 1));
    return usage + text.mid(lineEnd);
}

LinkCommand::LinkCommand(QString name, QString summary)
    : Command(std::move(name), std::move(summary))
{
    for (const QCommandLineOption& o : front::linkOptionList())
        addOption(o);
}

QString LinkCommand::take(const QCommandLineParser& parser, const QStringList& arguments)
{
    const front::LinkOptionsRead read = front::linkOptionsFrom(parser);
    if (!read.ok())
        return read.error;
    m_link = read.options;
    return takeOwn(parser, arguments);
}

QString LinkCommand::takeOwn(const QCommandLineParser&, const QStringList&)
{
    return {};
}

ExitStatus LinkCommand::execute()
{
    if (const auto done = runWithoutLink())
        return *done;
    front::ModuleLink link(front::ModuleLink::controlFor(m_link));
    if (const auto failure = link.open(m_link))
        return fail(failure->kind == front::LinkFailure::Kind::NoModule ? ExitStatus::NoModule : ExitStatus::Port,
                    failure->message);
    return run(link);
}

} // namespace zoltctl
