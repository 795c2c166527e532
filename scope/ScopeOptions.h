#pragma once

// zoltscope's command line: where the module is (as zoltctl takes it) and,
// for scripted runs, a recording to begin at once.

#include "ctl/CtlOptions.h"
#include "ctl/LinkOptions.h"
#include "ctl/MqttOptions.h"
#include "front/ChannelSetup.h"

#include <QString>
#include <QStringList>

namespace scope {

struct ScopeOptions {
    zoltctl::LinkOptions link;   // port, device, baud, simulate, presence check
    bool linkGiven = false;      // the command line named a source
    bool start = false;        // start sampling at once
    QString record;            // and record to this file
    zoltctl::Format format = zoltctl::Format::Csv;
    bool replace = false;      // an existing recording file may be replaced
    zoltctl::MqttOptions mqtt;     // --mqtt: watch a bench on a broker instead of a port
    zoltctl::MqttOptions publish;  // --publish: put this acquisition on a broker
    std::optional<front::ChannelSetup> setup;   // --setup: names, units and scales
};

struct ParsedScopeLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Error;
    ScopeOptions options;
    QString text;   // the error, or the help
};

// args[0] is the program name, as in QCoreApplication::arguments().
ParsedScopeLine parseScopeLine(const QStringList& args);

} // namespace scope
