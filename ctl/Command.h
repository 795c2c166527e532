#pragma once

// One zoltctl command: its name, what it does, its own options and arguments,
// its help, and what it does when run. A command reads only its own options,
// with a parser of its own; the program's command line finds the command by
// name and hands it the rest.

#include "ctl/ExitStatus.h"
#include "front/LinkOptions.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

class QCommandLineParser;

namespace front {
class ModuleLink;
}

namespace zoltctl {

// Text to a stream, in the locale's encoding.
void print(std::FILE* stream, const QString& text);
// One line on standard error, "zoltctl: message"; returns the status.
ExitStatus fail(ExitStatus status, const QString& message);

class Command {
public:
    struct Argument {
        QString name;          // as help shows it: CHANNEL
        QString description;
    };
    // What parsing a command's words gave: nothing wrong, or one line saying
    // what is, with the options the command does not know.
    struct Parsed {
        QString error;
        QStringList unknownOptions;
        bool ok() const { return error.isEmpty(); }
    };

    Command(QString name, QString summary);
    virtual ~Command();
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    const QString& name() const { return m_name; }
    // One line for the program's list of commands.
    const QString& summary() const { return m_summary; }
    const QList<QCommandLineOption>& options() const { return m_options; }
    const QList<Argument>& arguments() const { return m_arguments; }
    // "dac CHANNEL MILLIVOLTS"
    QString synopsis() const;
    bool knowsOption(const QString& name) const;

    // words: this command's options and arguments, without its name.
    Parsed parse(const QStringList& words);
    QString helpText() const;

    // Runs it. Results go to standard output, a failure as one line on
    // standard error.
    virtual ExitStatus execute() = 0;

protected:
    void addOption(const QCommandLineOption& option) { m_options.append(option); }
    void addArgument(const QString& name, const QString& description) { m_arguments.append({name, description}); }
    // The parsed line into the command's settings: empty, or what is wrong.
    virtual QString take(const QCommandLineParser& parser, const QStringList& arguments) = 0;

private:
    void setUp(QCommandLineParser& parser) const;

    QString m_name;
    QString m_summary;
    QList<QCommandLineOption> m_options;
    QList<Argument> m_arguments;
};

// A command on the module's port: the link options are its own too, and the
// link is opened once, here, before run().
class LinkCommand : public Command {
public:
    LinkCommand(QString name, QString summary);

    const front::LinkOptions& linkOptions() const { return m_link; }
    ExitStatus execute() final;

protected:
    QString take(const QCommandLineParser& parser, const QStringList& arguments) final;
    // The command's own settings, after the link options.
    virtual QString takeOwn(const QCommandLineParser& parser, const QStringList& arguments);
    // Work the settings ask for that needs no module; a status ends the
    // command there, before the port is opened.
    virtual std::optional<ExitStatus> runWithoutLink() { return std::nullopt; }
    virtual ExitStatus run(front::ModuleLink& link) = 0;

private:
    front::LinkOptions m_link;
};

// A whole number in decimal, or nothing.
std::optional<int> wholeNumber(const QString& text);

} // namespace zoltctl
