#pragma once

// zoltscope's command line: where the module is (as zoltctl takes it) and,
// for scripted runs, a recording to begin at once; or a recording to open.

#include "front/ChannelSetup.h"
#include "front/LinkOptions.h"
#include "front/MqttOptions.h"
#include "front/RowFormat.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace scope {

struct ScopeOptions {
    front::LinkOptions link;   // port, device, baud, simulate, presence check
    bool linkGiven = false;      // the command line named a source
    bool start = false;        // start sampling at once
    QString record;            // and record to this file
    front::Format format = front::Format::Csv;
    bool replace = false;      // an existing recording file may be replaced
    std::optional<int> pauseMs;   // --interval: the pause between scans
    front::MqttOptions mqtt;     // --mqtt: watch a bench on a broker instead of a port
    front::MqttOptions publish;  // --publish: put this acquisition on a broker
    std::optional<front::ChannelSetup> setup;   // --setup: names, units and scales
    QString open;              // a recording to open (and follow) instead of a source
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
