#pragma once

// Saves what a window shows as DIR/NAME.png, after a moment for posted
// repaints and the window system; says which file it wrote.

#include <QDir>
#include <QTest>
#include <QWidget>

inline bool saveShot(QWidget& window, const QString& dir, const QString& name)
{
    QTest::qWait(100);
    const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
    const bool ok = window.grab().save(path);
    qInfo("%s %s", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}
