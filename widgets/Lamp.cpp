#include "widgets/Lamp.h"

#include <QAccessible>
#include <QAccessibleWidget>
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

class LampAccessible : public QAccessibleWidget {
public:
    explicit LampAccessible(Lamp* lamp)
        : QAccessibleWidget(lamp, QAccessible::Indicator)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const auto* lamp = static_cast<const Lamp*>(widget());
        switch (t) {
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
}

void Lamp::setColour(Colour colour)
{
    if (m_painted && m_colour == colour)
        return;
    // Two table look-ups and shared strings: cheap enough for the sampling
    // cycle, which repaints lamps up to a thousand times a second.
    const QString before = meaning();
    m_colour = colour;
    m_painted = true;
    update();
    if (meaning() != before) {
        QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&changed);
        QAccessibleValueChangeEvent value(this, meaning());
        QAccessible::updateAccessibility(&value);
    }
}

void Lamp::setMeanings(const Meanings& meanings, const QString& unpainted)
{
    m_meanings.clear();
    for (const auto& [colour, text] : meanings)
        m_meanings.insert(colour, text);
    m_unpainted = unpainted;
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
    QPainter painter(this);
    painter.fillRect(rect(), fill());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
