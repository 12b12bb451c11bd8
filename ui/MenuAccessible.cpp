#include "ui/MenuAccessible.h"

#include "ui/MenuItemAccessible.h"

#include <QMenu>
#include <QVariant>

namespace nomilo {

namespace {

// The dynamic property that marks a menu as taken.
constexpr char kTakenProperty[] = "nomiloMenuAccessible";

} // namespace

TMenuAccessible::TMenuAccessible(QMenu* menu) : QAccessibleWidget(menu, QAccessible::PopupMenu) {}

void TMenuAccessible::Take(QMenu& menu) {
    static const bool installed = [] {
        QAccessible::installFactory(Create);
        return true;
    }();
    (void)installed;
    menu.setProperty(kTakenProperty, true);
}

QAccessibleInterface* TMenuAccessible::Create(const QString& className, QObject* object) {
    if (className != QLatin1String("QMenu") || !object->property(kTakenProperty).toBool())
        return nullptr;
    auto* menu = qobject_cast<QMenu*>(object);
    return menu ? new TMenuAccessible(menu) : nullptr;
}

QMenu* TMenuAccessible::Menu() const {
    return static_cast<QMenu*>(widget());
}

int TMenuAccessible::childCount() const {
    return static_cast<int>(Menu()->actions().size());
}

QAccessibleInterface* TMenuAccessible::child(int index) const {
    QAction* item = Menu()->actions().value(index);
    if (!item)
        return nullptr;
    // Made once per item and kept by Qt until the item goes.
    if (QAccessibleInterface* known = QAccessible::queryAccessibleInterface(item))
        return known;
    auto* made = new TMenuItemAccessible(*Menu(), *item);
    QAccessible::registerAccessibleInterface(made);
    return made;
}

int TMenuAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (!child)
        return -1;
    return static_cast<int>(Menu()->actions().indexOf(qobject_cast<QAction*>(child->object())));
}

QAccessibleInterface* TMenuAccessible::childAt(int x, int y) const {
    const int index = static_cast<int>(
        Menu()->actions().indexOf(Menu()->actionAt(Menu()->mapFromGlobal(QPoint(x, y)))));
    return index < 0 ? nullptr : child(index);
}

QAccessibleInterface* TMenuAccessible::focusChild() const {
    const int index = static_cast<int>(Menu()->actions().indexOf(Menu()->activeAction()));
    return index < 0 ? nullptr : child(index);
}

} // namespace nomilo
