#pragma once

// zoltscope's command line: where the module is (as zoltctl takes it) and,
// for scripted runs, a recording to begin at once; or a recording to open.

#include "ctl/CtlOptions.h"
#include "ctl/LinkOptions.h"
#include "ctl/MqttOptions.h"

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
