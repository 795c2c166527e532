#pragma once

#include <QSlider>

// A horizontal slider with the notifications the analog output window works
// with: Change after the position has changed, MouseDown and MouseUp for a
// button press and release, and Click after a press and release with the left
// button (raised after MouseUp).
//
// Positions the program sets with setPosition() raise no Change; every other
// move (mouse, arrow and page keys, the wheel, or setValue()) does.
class SliderControl : public QSlider {
    Q_OBJECT

public:
    explicit SliderControl(QWidget* parent = nullptr);

    // Moves to the value, kept within minimum()..maximum(), without Change.
    void setPosition(int value);

signals:
    void Change();
    void MouseDown();
    void MouseUp();
    void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_quiet = false;
    bool m_leftPressed = false;
};
