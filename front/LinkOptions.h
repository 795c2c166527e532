#pragma once

// Where the module is, as every program on the command line asks for it:
// --port COMn or --device PATH, --baud, --simulate and --no-presence-check.
// zoltctl's commands and any other command-line program over ModuleLink add
// them to their parser and read them back with the same checks and words.

#include "link/BaudOptions.h"

#include <QList>
#include <QString>
#include <optional>

class QCommandLineOption;
class QCommandLineParser;

namespace front {

struct LinkOptions {
    // port 0 with no device: choose as ZOLTrc does.
    int port = 0;
    QString device;
    int baud = kDefaultBaud.rate;
    bool simulate = false;
    bool presenceCheck = true;
};

// What reading the options gave: the options, or one line saying what is wrong.
struct LinkOptionsRead {
    LinkOptions options;
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// The five options, in the order help lists them.
QList<QCommandLineOption> linkOptionList();
// --simulate alone, for a program that opens no port of its own choosing.
QCommandLineOption simulateOption();
void addLinkOptions(QCommandLineParser& parser);
// After parser.parse(): the options given, checked (one port, the COM range,
// an offered baud rate, no device with the simulated module).
LinkOptionsRead linkOptionsFrom(const QCommandLineParser& parser);

// "COM3", "com3" or "3": 1..16.
std::optional<int> parseComPort(const QString& text);

} // namespace front
