#pragma once

#include <QString>

// The object name of one member of a control array: "ADCmdbut(3)".
inline QString indexedName(const char* name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}
