#include "tests/support/ProgramRun.h"

#include "sim/EventLoopWait.h"

QProcessEnvironment environmentWith(const QProcessEnvironment& set, const QStringList& unset)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& key : unset)
        env.remove(key);
    for (const QString& key : set.keys())
        env.insert(key, set.value(key));
    return env;
}

QProcess* startProgram(QObject* parent, const QString& program, const QStringList& args,
                       const QProcessEnvironment& environment)
{
    auto* process = new QProcess(parent);
    process->setProcessEnvironment(environment);
    process->start(program, args);
    return process;
}

ProgramResult finishProgram(QProcess* process, int timeoutMs)
{
    // Polled every millisecond: a simulated module in this process keeps its
    // line's timing while the program runs.
    const bool ended = runUntil([process] { return process->state() == QProcess::NotRunning; }, timeoutMs);
    if (!ended) {
        process->kill();
        process->waitForFinished(1000);
    }
    ProgramResult r;
    r.crashed = !ended || process->exitStatus() != QProcess::NormalExit;
    r.status = process->exitCode();
    r.out = process->readAllStandardOutput();
    r.err = process->readAllStandardError();
    process->deleteLater();
    return r;
}

QString failureMismatch(const ProgramResult& r, const char* name, int status, const QString& says)
{
    const QString err = QString::fromLocal8Bit(r.err);
    if (r.crashed)
        return QStringLiteral("crashed or did not end; standard error: %1").arg(err);
    if (r.status != status)
        return QStringLiteral("status %1, not %2; standard error: %3").arg(r.status).arg(status).arg(err);
    if (!err.startsWith(QLatin1String(name) + QLatin1String(": ")) || r.err.count('\n') != 1)
        return QStringLiteral("not one line from %1: %2").arg(QLatin1String(name), err);
    if (!err.contains(says))
        return QStringLiteral("'%1' does not say '%2'").arg(err.trimmed(), says);
    return {};
}
