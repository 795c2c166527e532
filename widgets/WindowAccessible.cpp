#include "widgets/WindowAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace {

// Only for the class the object itself is of, and only when that class
// derives from QWidget directly: dialogs, main windows and the toolkit's
// own widgets keep the interfaces the toolkit gives them.
QAccessibleInterface* windowAccessible(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    const QMetaObject* meta = object->metaObject();
    if (className != QLatin1String(meta->className()) || meta->superClass() != &QWidget::staticMetaObject)
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (!widget->isWindow())
        return nullptr;
    // The name is the title (QAccessibleWidget names a window by it).
    return new QAccessibleWidget(widget, QAccessible::Window);
}

} // namespace

void installWindowAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(windowAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}
