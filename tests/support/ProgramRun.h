#pragma once

// A program run as a script runs it, for the tests of the command-line
// programs: started with an environment of the test's making, waited for
// with the event loop running (so a module or broker in this process can
// answer meanwhile), and its status, standard output and error collected.

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ProgramResult {
    int status = -1;
    bool crashed = false;   // also: still running at the deadline, and killed
    QByteArray out;
    QByteArray err;
};

// This process's environment with `set` on top; `unset` taken out.
QProcessEnvironment environmentWith(const QProcessEnvironment& set, const QStringList& unset = {});
// The process belongs to parent until finishProgram() has collected it.
QProcess* startProgram(QObject* parent, const QString& program, const QStringList& args,
                       const QProcessEnvironment& environment);
ProgramResult finishProgram(QProcess* process, int timeoutMs);
// A failure as such a program reports it: the status, and one line on
// standard error, "NAME: ...", that says `says`. Empty when it is so, else
// what differs.
QString failureMismatch(const ProgramResult& result, const char* name, int status, const QString& says);
