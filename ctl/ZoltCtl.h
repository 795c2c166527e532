#pragma once

// zoltctl as a function: the whole program from its arguments to its exit
// status, on the event loop of the QCoreApplication the caller made.

#include "ctl/Command.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace zoltctl {

// Every command, in the order help lists them. A new command is a class of
// its own and one line here.
std::vector<std::unique_ptr<Command>> makeCommands();

// The command line read: the command to run with its settings taken, help to
// show, the version, or one line saying what is wrong.
struct Invocation {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Error;
    std::unique_ptr<Command> command;
    QString helpText;
    QString error;
};

// args[0] is the program name, as in QCoreApplication::arguments().
Invocation readCommandLine(const QStringList& args);
// The program's help: its commands, the options of the link and the exit statuses.
QString programHelp();

// Rows and answers go to standard output, every error as one line on
// standard error.
int run(const QStringList& args);

} // namespace zoltctl
