#pragma once

// read: one reading of channels 0 to N, counts and millivolts, and with
// --digital lines 3 to 5; with --setup, each value in its unit and the name.

#include "ctl/Command.h"
#include "ctl/Exchange.h"
#include "front/SetupChoice.h"

class Module1;

namespace zoltctl {

// --channels N and --digital, for read and sample.
struct ChannelChoice {
    int topChannel = 6;      // channels 0..topChannel
    bool digital = false;    // lines 3 to 5 as well

    static QList<QCommandLineOption> options();
    // Empty, or what is wrong.
    QString take(const QCommandLineParser& parser);
};

class ReadCommand final : public LinkCommand {
public:
    ReadCommand();
    const ChannelChoice& channels() const { return m_channels; }

private:
    QString takeOwn(const QCommandLineParser& parser, const QStringList& arguments) override;
    ExitStatus run(front::ModuleLink& link) override;

    ChannelChoice m_channels;
    front::SetupChoice m_setup;
};

// A read that did not come back: the port lost (3) or the reply missed (5).
// what: the read, as the message names it.
ExitStatus replyFailure(const front::ModuleLink& link, const Exchange::Outcome& outcome, const char* what);
// "line  level" and lines 3 to 5 as the module last gave them; with a setup,
// each level's word and the line's name beside it.
QString digitalTable(const Module1& m, const front::ChannelSetup* setup = nullptr);

} // namespace zoltctl
