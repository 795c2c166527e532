#include "ctl/ZoltCtl.h"

#include "ctl/CtlLink.h"
#include "ctl/CtlOptions.h"
#include "ctl/ExitStatus.h"
#include "ctl/RowFormat.h"
#include "ctl/Sampler.h"
#include "ctl/StopSignals.h"
#include "link/PortProblem.h"
#include "link/Protocol.h"
#include "link/SerialControl.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace zoltctl {

namespace {

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

int fail(ExitStatus status, const QString& message)
{
    print(stderr, QStringLiteral("zoltctl: %1\n").arg(message));
    return code(status);
}

QString level(bool high) { return high ? QStringLiteral("held") : QStringLiteral("not held"); }

// ---------------------------------------------------------------- ports

int runPorts(const Options& options)
{
    CtlLink link(CtlLink::controlFor(options));
    Module1& m = link.module();
    SerialControl& comm = link.comm();
    m.InitSerialLink();   // the probe ZOLTrc makes at start-up

    QJsonArray list;
    QString table = QStringLiteral("%1  %2  %3\n").arg(QStringLiteral("port"), -5).arg(QStringLiteral("device"), -24)
                        .arg(QStringLiteral("state"));
    for (int n = SerialControl::kMinPort; n <= SerialControl::kMaxPort; ++n) {
        QJsonObject entry{{QStringLiteral("port"), QStringLiteral("COM%1").arg(n)},
                          {QStringLiteral("device"), comm.deviceName(n)}};
        QString state;
        bool opens = m.PortExists[n] == True;
        bool dsr = false;
        bool cts = false;
        if (opens) {
            // Opened once more to read the handshake lines, which the probe does not.
            (void)comm.setCommPort(n);
            opens = comm.setPortOpen(true);
            if (opens) {
                dsr = comm.DSRHolding();
                cts = comm.CTSHolding();
                (void)comm.setPortOpen(false);
            } else {
                m.PortFault[n] = comm.lastOpenProblem();
            }
        }
        entry.insert(QStringLiteral("opens"), opens);
        if (opens) {
            entry.insert(QStringLiteral("dsr"), dsr);
            entry.insert(QStringLiteral("cts"), cts);
            state = QStringLiteral("opens, DSR %1, CTS %2").arg(level(dsr), level(cts));
        } else {
            state = portProblemText(m.PortFault[n]);
            entry.insert(QStringLiteral("problem"), state);
        }
        list.append(entry);
        table += QStringLiteral("COM%1  %2  %3\n").arg(n, -2).arg(comm.deviceName(n), -24).arg(state);
    }
    if (options.json)
        print(stdout, QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)));
    else
        print(stdout, table);
    return code(ExitStatus::Ok);
}

// ---------------------------------------------------------------- the rest

QString digitalTable(const Module1& m)
{
    QString text = QStringLiteral("line  level\n");
    for (int line = kFirstLine; line < kFirstLine + kLines; ++line)
        text += QStringLiteral("%1  %2\n").arg(line, 4).arg(m.DigData[line][0], 5);
    return text;
}

int replyFailure(CtlLink& link, CtlLink::Outcome outcome, const char* what)
{
    if (outcome == CtlLink::Outcome::Lost)
        return fail(ExitStatus::Port, QStringLiteral("the port was lost while waiting for %1").arg(QLatin1String(what)));
    return fail(ExitStatus::NoReply, QStringLiteral("no reply from the module on %1 to %2")
                                         .arg(link.portLabel(link.module().SelPort), QLatin1String(what)));
}

int runRead(CtlLink& link, const Options& options)
{
    link.requestAnalog(options.topChannel);
    const CtlLink::Outcome analog = link.awaitReply();
    if (analog != CtlLink::Outcome::Replied)
        return replyFailure(link, analog, "the analog read");
    if (options.digital) {
        link.requestDigital();
        const CtlLink::Outcome digital = link.awaitReply();
        if (digital != CtlLink::Outcome::Replied)
            return replyFailure(link, digital, "the digital read");
    }
    const Module1& m = link.module();
    QString text = QStringLiteral("channel  count    mV\n");
    for (int ch = 0; ch <= options.topChannel; ++ch)
        text += QStringLiteral("%1  %2  %3\n").arg(ch, 7).arg(m.AnaData[ch][1], 5).arg(m.AnaData[ch][2], 4);
    if (options.digital)
        text += digitalTable(m);
    print(stdout, text);
    return code(ExitStatus::Ok);
}

int runDigital(CtlLink& link, const Options& options)
{
    const char* what = "the digital read";
    if (options.command == Command::Dout) {
        link.setOutputLine(options.doutHigh);
        what = "the read-back of the lines";
    } else {
        link.requestDigital();
    }
    const CtlLink::Outcome outcome = link.awaitReply();
    if (outcome != CtlLink::Outcome::Replied)
        return replyFailure(link, outcome, what);
    QString text;
    if (options.command == Command::Dout)
        text = QStringLiteral("output line %1 %2\n").arg(protocol::kOutputLine).arg(QLatin1String(options.doutHigh ? "on" : "off"));
    print(stdout, text + digitalTable(link.module()));
    return code(ExitStatus::Ok);
}

int runDac(CtlLink& link, const Options& options)
{
    link.setAnalogOutput(options.dacChannel, options.dacMillivolts);
    // Wait until the bytes are out: closing the port at once could cut them off.
    (void)link.awaitSent();
    const Module1& m = link.module();
    const int c = options.dacChannel;
    const int range = m.DacData[c][0];
    const int dacCode = m.DacData[c][1];
    const double given = dacCode * (range ? protocol::kDacHighStep : protocol::kDacLowStep);
    print(stdout, QStringLiteral("output %1: range %2, code %3, %4 mV\n")
                      .arg(c)
                      .arg(range)
                      .arg(dacCode)
                      .arg(given, 0, 'f', 1));
    return code(ExitStatus::Ok);
}

int runSample(CtlLink& link, const Options& options)
{
    std::FILE* out = stdout;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, &std::fclose);
    if (!options.output.isEmpty()) {
        file.reset(std::fopen(QFile::encodeName(options.output).constData(), "w"));
        if (!file)
            return fail(ExitStatus::Output, QStringLiteral("cannot write %1: %2")
                                               .arg(options.output, QString::fromLocal8Bit(std::strerror(errno))));
        out = file.get();
    }
    StopSignals stopSignals;
    // Rows on standard output are the data; progress only when they go elsewhere.
    Sampler sampler(link, options, out, file ? stderr : nullptr);
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &sampler, &Sampler::stop);
    ExitStatus status = sampler.run();
    QString message = sampler.message();
    if (file) {
        std::FILE* raw = file.release();
        if (std::fclose(raw) != 0 && status == ExitStatus::Ok) {
            status = ExitStatus::Output;
            message = QStringLiteral("cannot write %1: %2").arg(options.output, QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
    if (!message.isEmpty())
        return fail(status, message);
    return code(status);
}

} // namespace

int run(const QStringList& args)
{
    const ParsedLine parsed = parseCommandLine(args);
    switch (parsed.action) {
    case ParsedLine::Action::Help:
        print(stdout, parsed.helpText);
        return code(ExitStatus::Ok);
    case ParsedLine::Action::Version:
        print(stdout, QStringLiteral("zoltctl %1\n").arg(QCoreApplication::applicationVersion()));
        return code(ExitStatus::Ok);
    case ParsedLine::Action::Error:
        return fail(ExitStatus::Usage, parsed.error + QLatin1String(" (zoltctl --help lists the commands)"));
    case ParsedLine::Action::Run:
        break;
    }
    const Options& options = parsed.options;
    if (options.command == Command::Ports)
        return runPorts(options);

    CtlLink link(CtlLink::controlFor(options));
    if (const auto failure = link.open(options))
        return fail(failure->status, failure->message);

    switch (options.command) {
    case Command::Read: return runRead(link, options);
    case Command::Sample: return runSample(link, options);
    case Command::Dac: return runDac(link, options);
    case Command::Dout:
    case Command::Din: return runDigital(link, options);
    case Command::Ports: break;
    }
    return code(ExitStatus::Ok);
}

} // namespace zoltctl
