#include "widgets/Lamp.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMetaObject>
#include <QPainter>

namespace {

// Colours without a meaning in a lamp's table are spoken by name.
struct ColourName {
    Lamp::Colour colour;
    const char* name;
};
constexpr ColourName kColourNames[] = {
    {0x000000, "black"},
    {0x0000FF, "red"},
    {0x00FF00, "green"},
    {0x00FFFF, "yellow"},
    {0xFFFFFF, "white"},
};

// A lamp reaches assistive technology as a label (a role every screen reader
// knows; the toolkit's own "indicator" has no counterpart there) whose name
// says what it is and what its colour means now: "CTS line, high". A change
// of meaning is a change of name, which the desktop's accessibility bridge
// forwards.
class LampAccessible : public QAccessibleWidget {
public:
    explicit LampAccessible(Lamp* lamp)
        : QAccessibleWidget(lamp, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const auto* lamp = static_cast<const Lamp*>(widget());
        switch (t) {
        case QAccessible::Name: {
            const QString what = lamp->accessibleName();
            return what.isEmpty() ? lamp->meaning() : what + QStringLiteral(", ") + lamp->meaning();
        }
        case QAccessible::Value:
            return lamp->meaning();
        case QAccessible::Description: {
            const QString extra = lamp->accessibleDescription();
            return extra.isEmpty() ? lamp->meaning() : lamp->meaning() + QStringLiteral(". ") + extra;
        }
        default:
            return QAccessibleWidget::text(t);
        }
    }
};

QAccessibleInterface* lampAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("Lamp") && object && object->isWidgetType())
        return new LampAccessible(static_cast<Lamp*>(object));
    return nullptr;
}

} // namespace

Lamp::Lamp(QWidget* parent)
    : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(lampAccessible);
        return true;
    }();
    Q_UNUSED(installed);
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

void Lamp::setMeanings(const Meanings& meanings, const QString& unpainted)
{
    m_meanings.clear();
    for (const auto& [colour, text] : meanings)
        m_meanings.insert(colour, text);
    m_unpainted = unpainted;
    m_announced = meaning();
}

QString Lamp::meaning() const
{
    if (!m_painted)
        return m_unpainted;
    if (const auto it = m_meanings.constFind(m_colour); it != m_meanings.constEnd())
        return *it;
    for (const ColourName& c : kColourNames) {
        if (c.colour == m_colour)
            return QLatin1String(c.name);
    }
    return toQColor(m_colour).name();
}

// Decided on the next pass of the event loop: a colour that flips and comes
// back within one handler (the transfer lamp in every serial event) costs
// neither a repaint nor a word to assistive technology. The colour and its
// meaning are readable at once all the same.
void Lamp::repaintIfChanged()
{
    m_checkPosted = false;
    if (fill() != m_shown)
        update();
    const QString now = meaning();
    if (now != m_announced) {
        m_announced = now;
        QAccessibleEvent name(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&name);
        QAccessibleEvent description(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&description);
    }
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
