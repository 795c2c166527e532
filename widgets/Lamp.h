#pragma once

#include <QWidget>

// A small box without text, filled with a colour the program sets. Colours are
// given in the blue-green-red layout (red in the low byte).
class Lamp : public QWidget {
    Q_OBJECT

public:
    // 24-bit blue-green-red value, the same layout as the device link's colours.
    using Colour = int;

    explicit Lamp(QWidget* parent = nullptr);

    // The lamp starts in the desktop's face colour for controls until painted.
    void setColour(Colour colour);
    bool painted() const { return m_painted; }
    Colour colour() const { return m_colour; }
    QColor fill() const;

    static QColor toQColor(Colour colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void repaintIfChanged();

    Colour m_colour = 0;
    bool m_painted = false;
    // What the screen shows. Whether to repaint is decided on the next pass
    // of the event loop, so a colour that flips and comes back within one
    // handler (the transfer lamp in every serial event) asks for none.
    QColor m_shown;
    bool m_checkPosted = false;
};
