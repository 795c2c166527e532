#pragma once

#include <QByteArray>

// Bytes that have come in and not been read yet, oldest first: the input side
// of a device that lives in memory. With a bound it holds at most that many
// bytes, and what arrives while it is full is lost, as on a serial device
// whose input buffer has overflowed.
class ReceiveBuffer {
public:
    // 0 for no bound.
    explicit ReceiveBuffer(qsizetype boundBytes = 0);

    qsizetype bound() const { return m_bound; }

    // Keeps what fits; returns how many bytes were lost.
    qsizetype append(const QByteArray& bytes);
    qsizetype waiting() const { return m_bytes.size(); }
    // Removes and returns the oldest bytes, at most maxBytes of them.
    QByteArray read(qsizetype maxBytes);
    void clear() { m_bytes.clear(); }

private:
    qsizetype m_bound;
    QByteArray m_bytes;
};
