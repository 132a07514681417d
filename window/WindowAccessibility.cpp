#include "window/WindowAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace {

// Qt asks with each class name of an object's hierarchy in turn, most derived first.
QAccessibleInterface* WindowAccessibleFactory(const QString& className, QObject* object) {
    if (object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("TWindowPaintBox")) {
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    }
    // A plain widget made a window is otherwise a nameless filler; as a frame it is announced
    // by its caption.
    if ((className == QLatin1String("TfmNorvaViewer") ||
         className == QLatin1String("TLogListWindow")) &&
        widget->isWindow()) {
        return new QAccessibleWidget(widget, QAccessible::Window);
    }
    return nullptr;
}

void Announce(QWidget& widget, QAccessible::Event change) {
    QAccessibleEvent event(&widget, change);
    QAccessible::updateAccessibility(&event);
}

}  // namespace

void InstallWindowAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(WindowAccessibleFactory);
        return true;
    }();
    (void)installed;
}

void SetAccessibleTexts(QWidget& widget, const QString& name, const QString& description) {
    if (widget.accessibleName() != name) {
        widget.setAccessibleName(name);
        Announce(widget, QAccessible::NameChanged);
    }
    if (widget.accessibleDescription() != description) {
        widget.setAccessibleDescription(description);
        Announce(widget, QAccessible::DescriptionChanged);
    }
}
