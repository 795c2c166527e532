#include "widgets/Fonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
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

// Faces shipped in a "fonts" folder beside the program (the Windows zip
// carries Liberation Sans there, since a Windows machine need not have the
// stand-in face installed), added for this process only.
void addShippedFonts()
{
    if (!QCoreApplication::instance())
        return;
    const QDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    const QStringList files = folder.entryList({QStringLiteral("*.ttf")}, QDir::Files, QDir::Name);
    for (const QString& file : files)
        (void)QFontDatabase::addApplicationFont(folder.filePath(file));
}

QString chosenFamily()
{
    addShippedFonts();
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

void shrinkToFit(QLabel* label, double smallestPointSize)
{
    QFont font = label->font();
    auto fits = [&] {
        const QRect box(0, 0, label->width(), label->height());
        const QRect needed = QFontMetrics(font).boundingRect(box, Qt::TextWordWrap, label->text());
        return needed.height() <= box.height() && needed.width() <= box.width();
    };
    while (!fits() && font.pointSizeF() - 0.25 >= smallestPointSize)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    label->setFont(font);
}
