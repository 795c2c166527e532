#include "widgets/Lamp.h"

#include <QMetaObject>
#include <QPainter>

Lamp::Lamp(QWidget* parent)
    : QWidget(parent)
{
    // Every pixel is painted: nothing behind the lamp needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Lamp::setColour(Colour colour)
{
    if (m_painted && m_colour == colour)
        return;
    m_colour = colour;
    m_painted = true;
    if (!m_checkPosted) {
        m_checkPosted = true;
        QMetaObject::invokeMethod(this, &Lamp::repaintIfChanged, Qt::QueuedConnection);
    }
}

void Lamp::repaintIfChanged()
{
    m_checkPosted = false;
    if (fill() != m_shown)
        update();
}

QColor Lamp::toQColor(Lamp::Colour colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

QColor Lamp::fill() const
{
    return m_painted ? toQColor(m_colour) : palette().color(QPalette::Button);
}

void Lamp::paintEvent(QPaintEvent*)
{
    m_shown = fill();
    QPainter painter(this);
    painter.fillRect(rect(), m_shown);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
