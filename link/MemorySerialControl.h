#pragma once

#include "link/ReceiveBuffer.h"
#include "link/SerialControl.h"

// A serial control whose device lives in memory (a simulated module, a test
// double): what the device sends waits in a receive buffer until it is read,
// and the handshake setting changes nothing.
class MemorySerialControl : public SerialControl {
    Q_OBJECT

public:
    using SerialControl::SerialControl;

protected:
    // Bytes from the device; a receive event follows when enough wait. Lost
    // while the port is closed.
    void receive(const QByteArray& bytes);
    // Forgets what was received and not read (on opening and closing).
    void dropReceived() { m_rx.clear(); }

    void applyHandshake(Handshake) override {}
    qint64 bytesWaiting() const override { return m_rx.waiting(); }
    QByteArray readWaiting(qint64 maxBytes) override { return m_rx.read(maxBytes); }

private:
    ReceiveBuffer m_rx;
};
