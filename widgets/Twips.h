#pragma once

// Window layouts are given in twips (1440 to the inch; 15 twips a pixel at
// 96 dots per inch). This is the one place they become pixels, scaled with the
// screen's logical DPI.

#include <QRect>

class QWidget;

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

namespace twips {

inline constexpr int kPerInch = 1440;

// Pixels for a length in twips at the given logical DPI (96 if none is known).
int toPixels(int twips, double logicalDpi);
QRect toPixels(const TwipsRect& rect, double logicalDpi);
// The logical DPI of the screen the widget is on (or the primary screen).
double logicalDpi(const QWidget* widget = nullptr);

// Places the widget at the rectangle, in its parent's coordinates.
void place(QWidget* widget, const TwipsRect& rect);
// Gives the window a fixed client area of the given size in twips.
void setFixedClientSize(QWidget* window, int widthTwips, int heightTwips);

} // namespace twips
