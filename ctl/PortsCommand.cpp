#include "ctl/PortsCommand.h"

#include "front/ModuleLink.h"
#include "link/PortProblem.h"
#include "link/SerialControl.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace zoltctl {

namespace {

QString level(bool high) { return high ? QStringLiteral("held") : QStringLiteral("not held"); }

} // namespace

PortsCommand::PortsCommand()
    : Command(QStringLiteral("ports"), QStringLiteral("COM1 to COM16: device, whether it opens, DSR and CTS."))
{
    addOption(front::simulateOption());
    addOption(QCommandLineOption(QStringLiteral("json"), QStringLiteral("Print JSON.")));
}

QString PortsCommand::take(const QCommandLineParser& parser, const QStringList&)
{
    m_simulate = parser.isSet(QStringLiteral("simulate"));
    m_json = parser.isSet(QStringLiteral("json"));
    return {};
}

ExitStatus PortsCommand::execute()
{
    front::LinkOptions options;
    options.simulate = m_simulate;
    front::ModuleLink link(front::ModuleLink::controlFor(options));
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
    if (m_json)
        print(stdout, QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)));
    else
        print(stdout, table);
    return ExitStatus::Ok;
}

} // namespace zoltctl
