#pragma once

// ports: COM1 to COM16, each one's device, whether it opens (or why not) and,
// where it opens, whether DSR and CTS are held.

#include "ctl/Command.h"

namespace zoltctl {

class PortsCommand final : public Command {
public:
    PortsCommand();
    bool simulate() const { return m_simulate; }
    bool json() const { return m_json; }

    ExitStatus execute() override;

private:
    QString take(const QCommandLineParser& parser, const QStringList& arguments) override;

    bool m_simulate = false;
    bool m_json = false;
};

} // namespace zoltctl
