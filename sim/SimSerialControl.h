#pragma once

// The serial control on a simulated module: the program sees a port COM2 with
// a 232ZOLT on it, and no other port. Events reach the program the same
// queued way as from a real port.

#include "link/MemorySerialControl.h"
#include "sim/ZoltWire.h"

#include <QByteArray>

class SimSerialControl : public MemorySerialControl {
    Q_OBJECT

public:
    static constexpr int kModulePort = 2;

    explicit SimSerialControl(ZoltWire::Timing timing = ZoltWire::Timing::Wire, QObject* parent = nullptr);

    ZoltWire& wire() { return m_wire; }
    ZoltModel& model() { return m_wire.model(); }

    // The module's cable pulled (false) or put back: DSR and CTS follow while
    // the port is open, and a disconnected module answers nothing.
    void setModuleConnected(bool connected);
    bool moduleConnected() const { return m_connected; }

    QString deviceName(int port) const override;

protected:
    bool openDevice(int port, const LineSettings& settings, PortProblem* why) override;
    void closeDevice() override;
    void applyLineSettings(const LineSettings& settings) override;
    void applyModemLines(bool, bool) override {}
    void writeBytes(const QByteArray& bytes) override;
    bool ctsLine() const override { return m_connected; }
    bool dsrLine() const override { return m_connected; }

private:
    void onBytes(const QByteArray& bytes);

    ZoltWire m_wire;
    bool m_connected = true;
};
