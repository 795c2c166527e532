#pragma once

// sample: continuous sampling to CSV or JSON lines, one row per cycle, until
// --count, --duration, Ctrl-C or SIGTERM. With --setup, the scaled values in
// added columns, and the setup written beside an output file
// (run.csv.setup.json), where it travels with the rows.

#include "ctl/Command.h"
#include "ctl/CtlOptions.h"

namespace zoltctl {

class SampleCommand final : public LinkCommand {
public:
    SampleCommand();
    // What the sampler is given.
    const Options& settings() const { return m_settings; }

private:
    QString takeOwn(const QCommandLineParser& parser, const QStringList& arguments) override;
    std::optional<ExitStatus> runWithoutLink() override;
    ExitStatus run(front::ModuleLink& link) override;

    Options m_settings;
};

} // namespace zoltctl
