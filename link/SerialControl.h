#pragma once

#include "link/LineSettings.h"
#include "link/PortProblem.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>

// The program's one serial communications control. Callers see properties and
// one event, OnComm(); implementations (a real port, a test double, a simulated
// module) supply the device behind it through the protected hooks.
//
// Events are queued and delivered from the event loop, never from inside a call
// the program makes into the control, so a request made inside an OnComm
// handler cannot re-enter it. One pass of the loop delivers, in order, every
// event waiting when it began, each handler returning before the next event;
// events raised meanwhile go to the next pass. CommEvent() holds the code
// while OnComm runs.
//
// A device that goes away while open closes the port and raises both line
// events; the control then watches for the same device to come back, every
// kReturnWatchMs, and reopens it with the same settings. An open, a close or a
// port number set by the program ends the watch.
class SerialControl : public QObject {
    Q_OBJECT

public:
    // Event codes held by CommEvent().
    static constexpr int kComEvSend = 1;     // the transmit buffer has drained
    static constexpr int kComEvReceive = 2;  // at least RThreshold bytes are waiting
    static constexpr int kComEvCTS = 3;      // the CTS line changed
    static constexpr int kComEvDSR = 4;      // the DSR line changed

    static constexpr int kMinPort = 1;
    static constexpr int kMaxPort = 16;

    // How often a lost device is looked for, ms.
    static constexpr int kReturnWatchMs = 500;

    enum class Handshake { None, XonXoff, RtsCts, RtsCtsXonXoff };
    enum class InputMode { Text, Binary };

    explicit SerialControl(QObject* parent = nullptr);
    ~SerialControl() override;

    int CommPort() const { return m_commPort; }
    // Refused (false) while open, and for numbers outside 1..16.
    bool setCommPort(int port);

    bool PortOpen() const { return m_open; }
    // Opening is refused (false) for a missing device, a port in use, no
    // permission, or a port that is already open. Closing a closed port is a no-op.
    bool setPortOpen(bool open);

    QString Settings() const { return m_settings.toString(); }
    // The baud rate of Settings(), without the text.
    int baud() const { return m_settings.baud; }
    // A malformed string, or one the device cannot take (an odd baud rate), is
    // refused (false, lastError() says why) and leaves the settings as they
    // were. A string that is taken clears lastError().
    bool setSettings(const QString& settings);

    Handshake Handshaking() const { return m_handshake; }
    void setHandshaking(Handshake handshake);
    bool RTSEnable() const { return m_rts; }
    void setRTSEnable(bool on);
    bool DTREnable() const { return m_dtr; }
    void setDTREnable(bool on);
    int SThreshold() const { return m_sThreshold; }
    void setSThreshold(int bytes);
    int RThreshold() const { return m_rThreshold; }
    void setRThreshold(int bytes);
    int InputLen() const { return m_inputLen; }
    void setInputLen(int bytes);  // 0 reads everything waiting
    InputMode inputMode() const { return m_inputMode; }
    void setInputMode(InputMode mode);

    int InBufferCount() const;
    // Removes and returns up to InputLen waiting bytes (never more than there are).
    QByteArray Input();
    // Drops every byte waiting, also those the device still holds; returns how
    // many there were.
    qint64 discardInput();
    // Writes the bytes in order; on a closed port nothing is sent.
    void setOutput(const QByteArray& bytes);

    // False for a closed port or a device that cannot report its lines.
    bool CTSHolding() const;
    bool DSRHolding() const;

    int CommEvent() const { return m_commEvent; }
    // True while raised events wait for the event loop to deliver them.
    bool eventsPending() const { return !m_pending.empty(); }

    // The device a port number stands for.
    virtual QString deviceName(int port) const = 0;
    // Why the last refused call failed, in words ("missing", "in use",
    // "permission denied", "invalid settings", ...); empty after success.
    QString lastError() const { return m_lastError; }
    // Why the last refused open failed; None once an open succeeds.
    PortProblem lastOpenProblem() const { return m_lastOpenProblem; }

    // True from a loss of the device until it is back or the program gives up
    // on it by opening, closing or choosing a port.
    bool watchingForReturn() const { return m_returnWatch.isActive(); }

signals:
    void OnComm();
    // The device went away while open; the port is closed. Emitted once the
    // control has closed it, before the queued line events are delivered.
    void portLost();
    // The lost device is back and the port open again with the same settings.
    void portReturned();

protected:
    // Device hooks. openDevice() fills *why when it fails.
    virtual bool openDevice(int port, const LineSettings& settings, PortProblem* why) = 0;
    virtual void closeDevice() = 0;
    virtual void applyLineSettings(const LineSettings& settings) = 0;  // only called while open
    virtual void applyHandshake(Handshake handshake) = 0;              // only called while open
    virtual void applyModemLines(bool dtr, bool rts) = 0;              // only called while open
    virtual qint64 bytesWaiting() const = 0;
    virtual QByteArray readWaiting(qint64 maxBytes) = 0;
    virtual void writeBytes(const QByteArray& bytes) = 0;
    virtual bool ctsLine() const = 0;
    virtual bool dsrLine() const = 0;
    // Cheap test, before an open is tried, whether the device of a lost port
    // may be back. Called at most once every kReturnWatchMs.
    virtual bool devicePresent(int port) const;
    // Whether the device can take these settings; applies them while open.
    // Refusing (false, *why filled) keeps the settings in force as they were.
    virtual bool acceptLineSettings(const LineSettings& settings, QString* why);
    // Drops what waits (default: reads it); returns the count.
    virtual qint64 discardWaiting();

    // For implementations: report what the device did.
    // Raises a receive event when enough bytes wait. Reported from the event
    // loop itself (the device's own notification, none of the program's code
    // running) with no earlier event waiting, it is delivered at once rather
    // than on the loop's next pass: the handler's next command goes out that
    // much sooner.
    enum class ReportedFrom { Program, EventLoop };
    void bytesArrived(ReportedFrom from = ReportedFrom::Program);
    void outputDrained();   // raises a send event
    void checkLines();      // raises CTS and DSR events for lines that changed
    void deviceLost();      // the device went away while open: close and report

private:
    void raiseEvent(int code);
    void scheduleDelivery();
    void deliverNext();
    void deliver(int code);
    bool receiveDue() const;
    bool openNow();
    void lookForReturn();

    int m_commPort = 1;
    bool m_open = false;
    LineSettings m_settings;
    Handshake m_handshake = Handshake::None;
    bool m_rts = false;
    bool m_dtr = false;
    int m_sThreshold = 0;
    int m_rThreshold = 0;
    int m_inputLen = 0;
    InputMode m_inputMode = InputMode::Text;
    bool m_lastCts = false;
    bool m_lastDsr = false;
    QString m_lastError;
    PortProblem m_lastOpenProblem = PortProblem::None;

    std::deque<int> m_pending;
    bool m_deliveryScheduled = false;
    bool m_delivering = false;
    int m_commEvent = 0;

    QTimer m_returnWatch;
};
