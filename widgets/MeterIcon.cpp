#include "widgets/MeterIcon.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace {
constexpr int kSide = 32;
constexpr int kBandTop = 22;       // the red band fills the rows below
constexpr QPointF kPivot{16.0, 20.0};
constexpr double kDialRadius = 14.0;
constexpr double kNeedleLength = 12.0;
constexpr double kNeedleDegrees = 55.0;  // from the left end of the scale
constexpr int kScaleMarks = 7;

// Draws the picture in a 32 x 32 frame; the painter's scale sets its real size.
void paintMeterIcon(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing);

    // Dial face: the upper half disc over the pivot, cream with a dark rim.
    const QRectF dial(kPivot.x() - kDialRadius, kPivot.y() - kDialRadius, 2 * kDialRadius,
                      2 * kDialRadius);
    QPainterPath face;
    face.moveTo(kPivot);
    face.arcTo(dial, 0.0, 180.0);
    face.closeSubpath();
    painter.setPen(QPen(QColor(40, 40, 40), 1.0));
    painter.setBrush(QColor(250, 244, 220));
    painter.drawPath(face);

    // Scale marks along the arc, 0 to 180 degrees.
    painter.setPen(QPen(Qt::black, 1.0));
    for (int i = 0; i < kScaleMarks; ++i) {
        const double angle = std::numbers::pi * i / (kScaleMarks - 1);
        const QPointF outer(kPivot.x() - std::cos(angle) * (kDialRadius - 1.5),
                            kPivot.y() - std::sin(angle) * (kDialRadius - 1.5));
        const QPointF inner(kPivot.x() - std::cos(angle) * (kDialRadius - 4.0),
                            kPivot.y() - std::sin(angle) * (kDialRadius - 4.0));
        painter.drawLine(inner, outer);
    }

    // Needle.
    const double needle = kNeedleDegrees * std::numbers::pi / 180.0;
    painter.setPen(QPen(QColor(200, 0, 0), 1.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(kPivot, QPointF(kPivot.x() - std::cos(needle) * kNeedleLength,
                                     kPivot.y() - std::sin(needle) * kNeedleLength));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(kPivot, 1.5, 1.5);

    // Red band with the name.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(0, kBandTop, kSide, kSide - kBandTop), QColor(255, 0, 0));
    QFont font;
    font.setPixelSize(kSide - kBandTop - 2);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, kBandTop, kSide, kSide - kBandTop), Qt::AlignCenter,
                     QStringLiteral("232ZOLT"));
}
} // namespace

QPixmap meterIcon()
{
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paintMeterIcon(painter);
    return pixmap;
}

QImage meterIconImage(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const double scale = static_cast<double>(side) / kSide;
    painter.scale(scale, scale);
    paintMeterIcon(painter);
    return image;
}
