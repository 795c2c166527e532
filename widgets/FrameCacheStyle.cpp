#include "widgets/FrameCacheStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyleFactory>
#include <QStyleOption>

FrameCacheStyle::FrameCacheStyle()
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
{
}

void FrameCacheStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                    const QWidget* widget) const
{
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    if (element != PE_PanelLineEdit || !frame || option->rect.isEmpty()) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const Key key{option->rect.width(), option->rect.height(), static_cast<uint>(option->state),
                  option->palette.cacheKey(), frame->lineWidth, frame->midLineWidth,
                  static_cast<int>(option->direction), qRound(ratio * 100)};
    auto found = m_panels.constFind(key);
    if (found == m_panels.constEnd()) {
        QPixmap panel((QSizeF(option->rect.size()) * ratio).toSize());
        panel.setDevicePixelRatio(ratio);
        panel.fill(Qt::transparent);
        QPainter p(&panel);
        QStyleOptionFrame at(*frame);
        at.rect.moveTopLeft(QPoint(0, 0));
        QProxyStyle::drawPrimitive(element, &at, &p, widget);
        p.end();
        if (m_panels.size() >= kMaxPictures)
            m_panels.clear();
        found = m_panels.insert(key, panel);
    }
    painter->drawPixmap(option->rect.topLeft(), *found);
}
