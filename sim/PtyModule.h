#pragma once

// The simulated module behind a pseudo-terminal: the program opens the slave
// side like any serial device, the module sits on the master side. A
// pseudo-terminal carries bytes only; it has no baud rate on the wire and no
// modem lines, so in wire mode the module paces its replies by the baud rate
// the program set on the slave, and nothing here can assert DSR or CTS.

#include "sim/ZoltWire.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

class PtyModule : public QObject {
    Q_OBJECT

public:
    explicit PtyModule(ZoltWire::Timing timing = ZoltWire::Timing::Wire, QObject* parent = nullptr);
    ~PtyModule() override;

    bool isOpen() const { return m_master >= 0; }
    QString errorString() const { return m_error; }
    // The slave device the program opens, for example /dev/pts/7.
    QString devicePath() const { return m_slavePath; }

    // Times the line at this baud rate whatever the program sets on the
    // slave; by default the module follows the slave's setting.
    void pinBaud(int baud);

    ZoltWire& wire() { return m_wire; }
    ZoltModel& model() { return m_wire.model(); }

    // A reply lost on the way: the next bytes the module sends are dropped.
    void dropReplyBytes(qint64 bytes) { m_dropLeft += bytes; }
    // A noisy line: this many bytes of noise follow whatever is on its way,
    // made as the program's side takes them, so the module holds none in memory.
    void sendNoise(qint64 bytes);
    qint64 noiseLeft() const { return m_noiseLeft; }

private:
    bool openPair();
    void closePair();
    void readMaster();
    void writeMaster(const QByteArray& bytes);
    void flushPending();
    void followSlaveBaud();

    ZoltWire m_wire;
    int m_master = -1;
    // Held open so that the master never sees a hang-up between the
    // program's opens and closes of the slave, and to read its line settings.
    int m_slaveHold = -1;
    QString m_slavePath;
    QString m_error;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_pending;  // reply bytes the master could not take yet
    int m_slaveBaud = 0;
    qint64 m_dropLeft = 0;
    qint64 m_noiseLeft = 0;
    quint32 m_noiseState = 1;
    bool m_baudPinned = false;
};
