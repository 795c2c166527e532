#pragma once

// A window's control by its object name, for tests, fuzz targets and
// benchmarks. The names are the program's own ("ADCmdbut(3)"); a missing one
// ends the run at once, since every step after it would mean nothing.
// ZOLT Scope's controls go by the names a screen reader reads instead.

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

template <typename T>
T* findNamedForReader(const QObject& root, const QString& accessibleName)
{
    for (T* w : root.findChildren<T*>()) {
        if (w->accessibleName() == accessibleName)
            return w;
    }
    qFatal("no control named %s under %s", qPrintable(accessibleName), qPrintable(root.objectName()));
}
