#pragma once

// Where the scans the window shows come from. The module on a port or the
// simulated module is one source (ModuleSource); any other (a network feed,
// a file played back) implements the same few calls, and the window neither
// knows nor cares which it has.

#include "link/Acquisition.h"
#include "link/Scan.h"

#include <QObject>
#include <QString>

namespace scope {

class ScanSource : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // For the status bar and the banner: "COM2 (/dev/ttyS1)", "Demo".
    virtual QString label() const = 0;
    // Opens the source; an empty text when it is ready, else why not.
    virtual QString open() = 0;

    // Sampling: settings are taken at the next cycle when changed while running.
    virtual void setSettings(const acquisition::Settings& settings) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool running() const = 0;
    // The source is gone for now and sampling goes on when it returns.
    virtual bool waiting() const = 0;

    // Scans a second the source can give at most with these settings; 0
    // when it has no such limit.
    virtual double limitScansPerSecond(const acquisition::Settings& settings) const = 0;
    virtual long long missedReplies() const = 0;

    // Whether the outputs can be set through this source, and setting them:
    // millivolts as the analog output window takes them.
    virtual bool drivesOutputs() const = 0;
    virtual void setAnalogOutput(int channel, int millivolts) = 0;
    virtual void setDigitalOutput(bool high) = 0;
    // The acquisition cycle behind the scans, where the source has one of
    // its own (for publishing it); none for a feed of another's scans.
    virtual acquisition::Acquisition* acquisition() { return nullptr; }

signals:
    void scanned(const acquisition::Scan& scan);
    // The source went away (its device name in what) or came back.
    void lost(const QString& what);
    void returned();
    // Sampling ended by itself (a count or duration reached).
    void ended();
    // An output command has left (channel -1 for the digital output).
    void outputSent(int channel, int value);
};

} // namespace scope
