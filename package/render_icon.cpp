// Build-time tool: writes the program's meter picture as PNG files at the
// desktop's icon sizes, so the menu shows the same picture as the About box.
//   zolt_render_icon OUTPUT_DIR SIZE...   writes OUTPUT_DIR/SIZE.png for each size
//   zolt_render_icon --scope OUTPUT_DIR SIZE...   ZOLT Scope's picture instead:
//   the same meter, small, in the corner of a screen with two traces
//   zolt_render_icon [--scope] --ico FILE.ico SIZE...   one Windows icon file
//   holding every size (PNG images, as Windows Vista and later read them)

#include "widgets/MeterIcon.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

QImage scopeIconImage(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = side / 32.0;
    // The screen.
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), std::max(1.0, s)));
    p.setBrush(QColor(0x10, 0x2a, 0x3a));
    p.drawRoundedRect(QRectF(1 * s, 3 * s, 30 * s, 26 * s), 3 * s, 3 * s);
    // Its grid, from 24 pixels on.
    if (side >= 24) {
        p.setPen(QPen(QColor(0x3a, 0x5a, 0x6a), std::max(1.0, s / 2)));
        for (int k = 1; k < 4; ++k) {
            p.drawLine(QPointF((1 + 7.5 * k) * s, 4 * s), QPointF((1 + 7.5 * k) * s, 28 * s));
            p.drawLine(QPointF(2 * s, (3 + 6.5 * k) * s), QPointF(30 * s, (3 + 6.5 * k) * s));
        }
    }
    // A step answered by a slow rise (blue), and a sine (orange).
    QPainterPath step;
    step.moveTo(3 * s, 23 * s);
    step.lineTo(11 * s, 23 * s);
    step.cubicTo(13 * s, 10 * s, 18 * s, 9 * s, 29 * s, 9 * s);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x56, 0xB4, 0xE9), std::max(1.5, 2 * s), Qt::SolidLine, Qt::RoundCap));
    p.drawPath(step);
    QPainterPath wave;
    for (int k = 0; k <= 52; ++k) {
        const double x = 3 + k * 0.5;
        const QPointF at(x * s, (17 + 5 * std::sin(k * 0.36)) * s);
        k == 0 ? wave.moveTo(at) : wave.lineTo(at);
    }
    p.setPen(QPen(QColor(0xE6, 0x9F, 0x00), std::max(1.5, 2 * s), Qt::SolidLine, Qt::RoundCap));
    p.drawPath(wave);
    // The program's meter, in the corner, from 48 pixels on.
    if (side >= 48) {
        const int m = side * 3 / 8;
        p.drawImage(QRect(side - m - side / 12, side - m - side / 7, m, m), meterIconImage(m));
    }
    return image;
}

QImage iconImage(bool scope, int side)
{
    return scope ? scopeIconImage(side) : meterIconImage(side);
}

void putLe(QByteArray& out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// An .ico file: a directory of 16-byte entries, then each image as PNG data.
bool writeIco(const QString& file, bool scope, const QList<int>& sides)
{
    QList<QByteArray> pngs;
    for (const int side : sides) {
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !iconImage(scope, side).save(&buffer, "PNG"))
            return false;
        pngs.append(png);
    }
    QByteArray out;
    putLe(out, 0, 2);   // reserved
    putLe(out, 1, 2);   // an icon, not a cursor
    putLe(out, static_cast<quint32>(sides.size()), 2);
    auto offset = static_cast<quint32>(6 + 16 * sides.size());
    for (qsizetype i = 0; i < sides.size(); ++i) {
        const quint32 side = sides.at(i) >= 256 ? 0 : static_cast<quint32>(sides.at(i));   // 0 stands for 256
        putLe(out, side, 1);
        putLe(out, side, 1);
        putLe(out, 0, 1);    // no palette
        putLe(out, 0, 1);
        putLe(out, 1, 2);    // planes
        putLe(out, 32, 2);   // bits per pixel
        putLe(out, static_cast<quint32>(pngs.at(i).size()), 4);
        putLe(out, offset, 4);
        offset += static_cast<quint32>(pngs.at(i).size());
    }
    for (const QByteArray& png : pngs)
        out += png;
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(out) == out.size();
}

} // namespace

int main(int argc, char* argv[])
{
    // Fonts need a GUI application, but nothing is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QStringList args = QCoreApplication::arguments();
    const bool scope = args.size() > 1 && args.at(1) == QLatin1String("--scope");
    if (scope)
        args.removeAt(1);
    const bool ico = args.size() > 1 && args.at(1) == QLatin1String("--ico");
    if (ico)
        args.removeAt(1);
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: zolt_render_icon [--scope] [--ico FILE.ico | OUTPUT_DIR] SIZE...\n");
        return 2;
    }
    QList<int> sides;
    for (qsizetype i = 2; i < args.size(); ++i) {
        bool ok = false;
        const int side = args.at(i).toInt(&ok);
        if (!ok || side < 8 || side > (ico ? 256 : 1024)) {
            std::fprintf(stderr, "zolt_render_icon: bad size %s\n", qPrintable(args.at(i)));
            return 2;
        }
        sides.append(side);
    }
    if (ico) {
        if (!writeIco(args.at(1), scope, sides)) {
            std::fprintf(stderr, "zolt_render_icon: cannot write %s\n", qPrintable(args.at(1)));
            return 1;
        }
        return 0;
    }
    const QDir out(args.at(1));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "zolt_render_icon: cannot make %s\n", qPrintable(args.at(1)));
        return 1;
    }
    for (const int side : sides) {
        const QString file = out.filePath(QStringLiteral("%1.png").arg(side));
        if (!iconImage(scope, side).save(file, "PNG")) {
            std::fprintf(stderr, "zolt_render_icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
