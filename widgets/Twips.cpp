#include "widgets/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace twips {

namespace {
constexpr double kReferenceDpi = 96.0;
}

int toPixels(int twips, double logicalDpi)
{
    const double dpi = logicalDpi > 0 ? logicalDpi : kReferenceDpi;
    return static_cast<int>(std::lround(twips * dpi / kPerInch));
}

QRect toPixels(const TwipsRect& rect, double logicalDpi)
{
    return {toPixels(rect.left, logicalDpi), toPixels(rect.top, logicalDpi),
            toPixels(rect.width, logicalDpi), toPixels(rect.height, logicalDpi)};
}

double logicalDpi(const QWidget* widget)
{
    const QScreen* screen = widget ? widget->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : kReferenceDpi;
}

void place(QWidget* widget, const TwipsRect& rect)
{
    widget->setGeometry(toPixels(rect, logicalDpi(widget)));
}

void setFixedClientSize(QWidget* window, int widthTwips, int heightTwips)
{
    const double dpi = logicalDpi(window);
    window->setFixedSize(toPixels(widthTwips, dpi), toPixels(heightTwips, dpi));
}

} // namespace twips
