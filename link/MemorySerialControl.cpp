#include "link/MemorySerialControl.h"

void MemorySerialControl::receive(const QByteArray& bytes)
{
    if (!PortOpen())
        return;
    m_rx.append(bytes);
    bytesArrived();
}
