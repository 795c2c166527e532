#pragma once

#include "link/MemorySerialControl.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

// A scriptable serial control for tests: the test decides which ports exist,
// which are in use, how the handshake lines stand, and feeds reply bytes; every
// byte written is recorded. Events are delivered the same queued way as by the
// real control.
class FakeSerialControl : public MemorySerialControl {
    Q_OBJECT

public:
    explicit FakeSerialControl(QObject* parent = nullptr);

    // --- Script.
    void setExistingPorts(const QSet<int>& ports) { m_existing = ports; }
    void setBusyPorts(const QSet<int>& ports) { m_busy = ports; }
    // Line states of the module on the port (as seen while it is open).
    void setLines(bool cts, bool dsr);
    // Bytes from the module; raise a receive event when enough wait.
    void feed(const QByteArray& bytes);
    // The device goes away (an adapter unplugged) while open.
    void unplug();

    // --- Record.
    QByteArray written() const { return m_written; }
    QList<QByteArray> writes() const { return m_writes; }
    void clearWritten();
    int openCount() const { return m_openCount; }
    QList<int> openedPorts() const { return m_openedPorts; }
    QList<QString> appliedSettings() const { return m_applied; }
    bool dtrLine() const { return m_dtrOut; }
    bool rtsLine() const { return m_rtsOut; }

    QString deviceName(int port) const override;

protected:
    bool openDevice(int port, const LineSettings& settings, PortProblem* why) override;
    void closeDevice() override;
    void applyLineSettings(const LineSettings& settings) override;
    void applyModemLines(bool dtr, bool rts) override;
    void writeBytes(const QByteArray& bytes) override;
    bool ctsLine() const override { return m_cts; }
    bool dsrLine() const override { return m_dsr; }

private:
    QSet<int> m_existing;
    QSet<int> m_busy;
    bool m_cts = false;
    bool m_dsr = false;
    bool m_dtrOut = false;
    bool m_rtsOut = false;
    QByteArray m_written;
    QList<QByteArray> m_writes;
    int m_openCount = 0;
    QList<int> m_openedPorts;
    QList<QString> m_applied;
};
