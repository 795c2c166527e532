#include "widgets/Pictures.h"

#include <QPainter>
#include <QPolygon>

namespace {
const QColor kLightGrey(192, 192, 192);
}

QPixmap startPicture(int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(kLightGrey);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    const int side = height - 2;
    const int left = (width - side) / 2;
    painter.drawPolygon(QPolygon({QPoint(left, 1), QPoint(left + side, height / 2), QPoint(left, height - 1)}));
    return pixmap;
}

QPixmap stopPicture(int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(kLightGrey);
    QPainter painter(&pixmap);
    const int side = height - 4;
    painter.fillRect((width - side) / 2, 2, side, side, Qt::black);
    return pixmap;
}

QIcon mainWindowIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // A module front: grey box, a row of channel lamps and a serial plug.
    painter.setBrush(QColor(192, 192, 192));
    painter.setPen(Qt::black);
    painter.drawRect(2, 6, 27, 20);
    for (int i = 0; i < 4; ++i) {
        painter.setBrush(i < 3 ? QColor(0, 255, 0) : QColor(255, 0, 0));
        painter.drawRect(5 + 6 * i, 10, 4, 4);
    }
    painter.setBrush(QColor(0, 0, 128));
    painter.drawRect(8, 18, 15, 5);
    return QIcon(pixmap);
}
