#include "link/ReceiveBuffer.h"

#include <algorithm>

ReceiveBuffer::ReceiveBuffer(qsizetype boundBytes)
    : m_bound(std::max<qsizetype>(0, boundBytes))
{
}

qsizetype ReceiveBuffer::append(const QByteArray& bytes)
{
    const qsizetype room = m_bound > 0 ? std::max<qsizetype>(0, m_bound - m_bytes.size()) : bytes.size();
    const qsizetype kept = std::min(room, bytes.size());
    m_bytes.append(bytes.constData(), kept);
    return bytes.size() - kept;
}

QByteArray ReceiveBuffer::read(qsizetype maxBytes)
{
    if (maxBytes <= 0)
        return {};
    QByteArray out = m_bytes.left(maxBytes);
    m_bytes.remove(0, out.size());
    return out;
}
