#include "Fonts.h"

#include <QFontDatabase>

QFont msSansSerif(double pointSize)
{
    static const QString family = [] {
        const QString wanted = QStringLiteral("MS Sans Serif");
        if (QFontDatabase::families().contains(wanted))
            return wanted;
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    return font;
}
