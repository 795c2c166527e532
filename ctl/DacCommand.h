#pragma once

// dac CHANNEL MILLIVOLTS: one analog output set, and the range bit, the code
// and the millivolts the module will give printed.

#include "ctl/Command.h"

namespace zoltctl {

class DacCommand final : public LinkCommand {
public:
    DacCommand();
    int channel() const { return m_channel; }
    int millivolts() const { return m_millivolts; }

private:
    QString takeOwn(const QCommandLineParser& parser, const QStringList& arguments) override;
    ExitStatus run(front::ModuleLink& link) override;

    int m_channel = 0;
    int m_millivolts = 0;
};

} // namespace zoltctl
