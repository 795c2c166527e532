#pragma once

#include <QProxyStyle>

// The application's style, except that a text box's panel (its background
// and rounded, antialiased frame) is drawn once per size, state and palette
// and then copied. Drawing that frame is most of what repainting a text box
// costs, and the readings' boxes are repainted up to once per screen refresh.
// The copy is the same picture: the panel is drawn by the same style onto a
// clear picture and laid over what is behind it.
class FrameCacheStyle : public QProxyStyle {
    Q_OBJECT

public:
    FrameCacheStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};
