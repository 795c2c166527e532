#pragma once

#include <QByteArray>
#include <QString>

// The bytes of a command as text in which every byte can be seen: printable
// ASCII (blank to '~') stands as itself, any other byte, NUL included, as two
// upper-case hex digits in angle brackets, so 0x03 reads "<03>" and 0xFF "<FF>".
// Nothing is dropped or cut, whatever the bytes are.
QString visibleBytes(const QByteArray& bytes);
