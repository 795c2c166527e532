#include "ctl/ZoltCtl.h"

#include "ctl/DacCommand.h"
#include "ctl/DigitalCommands.h"
#include "ctl/PortsCommand.h"
#include "ctl/ReadCommand.h"
#include "ctl/SampleCommand.h"
#include "front/SetupChoice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSet>

namespace zoltctl {

namespace {

const QStringList kHelpWords{QStringLiteral("-h"), QStringLiteral("--help"), QStringLiteral("-?"),
                             QStringLiteral("--help-all")};
const QStringList kVersionWords{QStringLiteral("-v"), QStringLiteral("--version")};
const QString kEndOfOptions = QStringLiteral("--");

Invocation refused(const QString& error)
{
    Invocation invocation;
    invocation.error = error;
    return invocation;
}

// The names of the options that take a value, in any command: a word after one
// of them is its value, not the command's name.
QSet<QString> valueOptions(const std::vector<std::unique_ptr<Command>>& commands)
{
    QSet<QString> names;
    for (const auto& command : commands) {
        for (const QCommandLineOption& o : command->options()) {
            if (!o.valueName().isEmpty()) {
                for (const QString& name : o.names())
                    names.insert(name);
            }
        }
    }
    return names;
}

// Where the command's name is among the words, or -1.
qsizetype commandIndex(const QStringList& words, const QSet<QString>& takesValue)
{
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (word == kEndOfOptions)
            return -1;
        if (!word.startsWith(u'-') || word.size() == 1)
            return i;
        QString name = word.mid(word.startsWith(QLatin1String("--")) ? 2 : 1);
        if (!name.contains(u'=') && takesValue.contains(name))
            ++i;
    }
    return -1;
}

// Whether one of these words comes before any "--".
bool asks(const QStringList& words, const QStringList& which)
{
    for (const QString& word : words) {
        if (word == kEndOfOptions)
            return false;
        if (which.contains(word))
            return true;
    }
    return false;
}

QString commandNames(const std::vector<std::unique_ptr<Command>>& commands)
{
    QStringList names;
    for (const auto& command : commands)
        names << command->name();
    const QString last = names.takeLast();
    return names.join(QLatin1String(", ")) + QLatin1String(" or ") + last;
}

} // namespace

std::vector<std::unique_ptr<Command>> makeCommands()
{
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(std::make_unique<PortsCommand>());
    commands.push_back(std::make_unique<ReadCommand>());
    commands.push_back(std::make_unique<SampleCommand>());
    commands.push_back(std::make_unique<DacCommand>());
    commands.push_back(std::make_unique<DoutCommand>());
    commands.push_back(std::make_unique<DinCommand>());
    return commands;
}

QString programHelp()
{
    const auto commands = makeCommands();
    QString description = QStringLiteral("Drives a 232ZOLT module from scripts.\n\nCommands:\n");
    for (const auto& command : commands)
        description += QStringLiteral("  %1 %2\n").arg(command->synopsis(), -22).arg(command->summary());
    description += QStringLiteral("\n'zoltctl COMMAND --help' shows a command's own options.");

    QCommandLineParser parser;
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    parser.addVersionOption();
    front::addLinkOptions(parser);
    parser.addOption(front::SetupChoice::option());
    parser.addPositionalArgument(QStringLiteral("command"), commandNames(commands) + u'.');
    parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("The command's arguments and options."),
                                 QStringLiteral("[arguments...]"));
    QString text = parser.helpText();
    text = QStringLiteral("Usage: zoltctl [options] command [arguments...]") + text.mid(text.indexOf(u'\n'));

    text += QStringLiteral("\nExit status:\n");
    for (const ExitStatusMeaning& e : kExitStatuses)
        text += QStringLiteral("  %1  %2\n").arg(code(e.status)).arg(QLatin1String(e.meaning));
    return text;
}

Invocation readCommandLine(const QStringList& args)
{
    auto commands = makeCommands();
    QStringList words = args.mid(1);
    const qsizetype at = commandIndex(words, valueOptions(commands));
    auto chosen = commands.end();
    if (at >= 0) {
        chosen = std::find_if(commands.begin(), commands.end(),
                              [&](const auto& command) { return command->name() == words.at(at); });
    }

    if (asks(words, kHelpWords)) {
        Invocation help;
        help.action = Invocation::Action::Help;
        help.helpText = chosen != commands.end() ? (*chosen)->helpText() : programHelp();
        return help;
    }
    if (asks(words, kVersionWords)) {
        Invocation version;
        version.action = Invocation::Action::Version;
        return version;
    }
    if (at < 0)
        return refused(QStringLiteral("no command given (%1)").arg(commandNames(commands)));
    if (chosen == commands.end())
        return refused(QStringLiteral("unknown command '%1'").arg(words.at(at)));

    std::unique_ptr<Command> command = std::move(*chosen);
    words.removeAt(at);
    const Command::Parsed parsed = command->parse(words);
    if (!parsed.ok()) {
        // An option of another command is a mistake worth naming as one.
        for (const QString& name : parsed.unknownOptions) {
            for (const auto& other : commands) {
                if (other && other->knowsOption(name))
                    return refused(QStringLiteral("--%1 does not apply to %2").arg(name, command->name()));
            }
        }
        return refused(parsed.error);
    }
    Invocation invocation;
    invocation.action = Invocation::Action::Run;
    invocation.command = std::move(command);
    return invocation;
}

int run(const QStringList& args)
{
    const Invocation invocation = readCommandLine(args);
    switch (invocation.action) {
    case Invocation::Action::Help:
        print(stdout, invocation.helpText);
        return code(ExitStatus::Ok);
    case Invocation::Action::Version:
        print(stdout, QStringLiteral("zoltctl %1\n").arg(QCoreApplication::applicationVersion()));
        return code(ExitStatus::Ok);
    case Invocation::Action::Error:
        return code(fail(ExitStatus::Usage, invocation.error + QLatin1String(" (zoltctl --help lists the commands)")));
    case Invocation::Action::Run:
        break;
    }
    return code(invocation.command->execute());
}

} // namespace zoltctl
