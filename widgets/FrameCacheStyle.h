#pragma once

#include <QHash>
#include <QPixmap>
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

private:
    struct Key {
        int width, height;
        uint state;
        qint64 palette;
        int lineWidth, midLineWidth, direction;
        int ratioPercent;   // device pixel ratio in hundredths
        friend bool operator==(const Key&, const Key&) = default;
        friend size_t qHash(const Key& k, size_t seed = 0)
        {
            return qHashMulti(seed, k.width, k.height, k.state, k.palette, k.lineWidth, k.midLineWidth, k.direction,
                              k.ratioPercent);
        }
    };
    // A window has a handful of box sizes and states; more means the palette
    // or the screen changed, and the old pictures are dropped.
    static constexpr qsizetype kMaxPictures = 64;
    mutable QHash<Key, QPixmap> m_panels;
};
