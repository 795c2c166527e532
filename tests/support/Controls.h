#pragma once

// A window's control by its object name, for tests, fuzz targets and
// benchmarks. The names are the program's own ("ADCmdbut(3)"); a missing one
// ends the run at once, since every step after it would mean nothing.

#include <QObject>
#include <QString>
#include <QtGlobal>

template <typename T>
T* findControl(const QObject& root, const QString& name)
{
    T* found = root.findChild<T*>(name);
    if (!found)
        qFatal("no control %s under %s", qPrintable(name), qPrintable(root.objectName()));
    return found;
}
