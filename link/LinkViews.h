#pragma once

// What the device link paints and fills, seen from the link's side. The windows
// implement these; the link includes no window header.

#include "link/PortProblem.h"

#include <QByteArray>
#include <QString>

// Colours are 24-bit values in the blue-green-red layout (red in the low byte).
using Colour = int;

// The main window's controls that the link routines write.
class MainPanel {
public:
    virtual ~MainPanel() = default;
    virtual void paintLite1(Colour colour) = 0;              // the lamp in the "DSR" row
    virtual void paintLite3(Colour colour) = 0;              // the lamp in the "CTS" row
    virtual void paintDLite(int line, Colour colour) = 0;    // line 3..5
    virtual void setDinTxt(int line, const QString& text) = 0;
    virtual void setADValTxt(int channel, const QString& text) = 0;
    virtual void setVolValTxt(int channel, const QString& text) = 0;

    // When a reply goes wrong. A panel that shows none of it (a window under
    // test) need not override these.
    virtual void paintLiteXfer(Colour) {}
    // Replies missed since start, shown on the transfer lamp.
    virtual void showMissedReplies(long long) {}
};

// The serial port settings dialog's port and baud options.
class PortChooser {
public:
    virtual ~PortChooser() = default;
    virtual void setComSelEnabled(int port, bool enabled) = 0;
    // The device behind the port, and why it could not be opened.
    virtual void describeComSel(int port, const QString& device, PortProblem problem) = 0;
    virtual void selectComSel(int port) = 0;
    // 1 for "2400", 2 for "4800", 3 for "9600".
    virtual void selectBaudOption(int option) = 0;
};

// The command echo window's two lines.
class EchoPanel {
public:
    virtual ~EchoPanel() = default;
    virtual void setLabel1(const QByteArray& command) = 0;  // the command exactly as sent
    virtual void setLabel2(const QString& text) = 0;
};

// Reaches the windows; each is created (hidden) the first time it is asked for.
class LinkViews {
public:
    virtual ~LinkViews() = default;
    virtual MainPanel& mainPanel() = 0;
    virtual PortChooser& portChooser() = 0;
    virtual EchoPanel& echoPanel() = 0;
    // Shows the serial port settings dialog modally and returns when it closes.
    // The dialog is modal: the caller (the start-up routine, the "Set RS232"
    // menu item) runs a nested event loop in here, so timer ticks and serial
    // events are delivered before this returns.
    virtual void showSettingsModal() = 0;
    // True once the program has been ended (the dialog ends it when no port exists).
    virtual bool programEnded() const = 0;
};
