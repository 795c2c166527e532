#pragma once

#include "link/PortNames.h"
#include "link/SerialControl.h"

#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <functional>

// The serial control on a real port, through Qt Serial Port.
//
// COM n is the device deviceForComPort(n) names; a test hands in its own map
// (to a pseudo-terminal, say) so that it never touches the machine's ports.
// QSerialPort has no notification for CTS and DSR, so while the port is open
// the control polls them and raises line events when they change. A device
// that goes away while open (an adapter unplugged, a pseudo-terminal whose
// other end closed) closes the port and raises both line events.
//
// At most kReadBufferBytes wait for the program: when that many are waiting
// and more come, the waiting bytes are thrown away, so that a noisy line costs
// neither memory nor stale readings.
class QtSerialControl : public SerialControl {
    Q_OBJECT

public:
    using DeviceMap = std::function<QString(int port)>;

    // How often the handshake lines are read while the port is open.
    static constexpr int kLinePollMs = 100;
    // The most received bytes kept waiting; a reply is at most 14.
    static constexpr qint64 kReadBufferBytes = 4096;

    explicit QtSerialControl(DeviceMap devices = deviceForComPort, QObject* parent = nullptr);
    ~QtSerialControl() override;

    QString deviceName(int port) const override;

protected:
    bool openDevice(int port, const LineSettings& settings, PortProblem* why) override;
    void closeDevice() override;
    void applyLineSettings(const LineSettings& settings) override;
    void applyHandshake(Handshake handshake) override;
    void applyModemLines(bool dtr, bool rts) override;
    qint64 bytesWaiting() const override;
    QByteArray readWaiting(qint64 maxBytes) override;
    void writeBytes(const QByteArray& bytes) override;
    bool ctsLine() const override;
    bool dsrLine() const override;
    bool devicePresent(int port) const override;
    bool acceptLineSettings(const LineSettings& settings, QString* why) override;
    qint64 discardWaiting() override;

private:
    // Qt's own setters, the first refusal's reason in *why.
    bool configure(const LineSettings& settings, QString* why = nullptr);
    void onReadyRead();
    qint64 heldByDevice() const;
    void resumeReading();
    void requestLowLatency();
    bool pinHigh(QSerialPort::PinoutSignal signal) const;
    void onError(QSerialPort::SerialPortError error);
    void onBytesWritten();
    void pollLines();
    bool hungUp() const;
    void resumeReadingLater();
    void reportLost();

    DeviceMap m_devices;
    QSerialPort* m_port;
    QTimer m_linePoll;
    // Counts opens, so that a loss noticed on one open never closes a later one.
    quint64 m_openSerial = 0;
    bool m_lossReported = false;
    LineSettings m_applied;   // what the open port runs with
    // Bytes the program has taken from Qt's buffer (read or dropped), so that
    // bytes read in while a receive event's handler runs can be told apart.
    qint64 m_taken = 0;
};
