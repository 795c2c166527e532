#include "Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

// "MS Sans Serif" where the platform has it; otherwise a sans-serif face of
// about its width (the layouts are measured for it, and a wider face cuts
// captions such as "Start  Samples"), and failing that the platform's own.
const QStringList kFaces{
    QStringLiteral("MS Sans Serif"),
    QStringLiteral("Microsoft Sans Serif"),
    QStringLiteral("Liberation Sans"),
    QStringLiteral("Arial"),
};

QString chosenFamily()
{
    const QStringList installed = QFontDatabase::families();
    for (const QString& face : kFaces) {
        if (installed.contains(face))
            return face;
    }
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

} // namespace

QFont msSansSerif(double pointSize)
{
    static const QString family = chosenFamily();
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    return font;
}
