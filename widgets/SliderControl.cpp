#include "widgets/SliderControl.h"

#include <QMouseEvent>

SliderControl::SliderControl(QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
{
    setTickPosition(QSlider::TicksBelow);
    connect(this, &QAbstractSlider::valueChanged, this, [this] {
        if (!m_quiet)
            emit Change();
    });
}

void SliderControl::setPosition(int value)
{
    m_quiet = true;
    setValue(value);
    m_quiet = false;
}

void SliderControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_leftPressed = true;
    emit MouseDown();
    QSlider::mousePressEvent(event);
}

void SliderControl::mouseReleaseEvent(QMouseEvent* event)
{
    QSlider::mouseReleaseEvent(event);
    emit MouseUp();
    if (event->button() == Qt::LeftButton && m_leftPressed) {
        m_leftPressed = false;
        emit Click();
    }
}
