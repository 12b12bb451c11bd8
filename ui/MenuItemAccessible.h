#pragma once

#include <QAccessibleInterface>
#include <QMenu>
#include <QPointer>

class QAction;

namespace nomilo {

// An item of a menu that TMenuAccessible shows: a menu item or separator as Qt shows one, but a
// checkable item is a check box, or a radio button when it is one of a choice (ReadAsChoice),
// checked or not as the item is. (Qt 6.4 shows a checkable item as a plain menu item and does not
// pass its checkable state to the AT-SPI bus, so a screen reader says "checked" for an item that
// is on and nothing for one that is off.) Its one action triggers the item, as a click does.
class TMenuItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TMenuItemAccessible(QMenu& menu, QAction& item);

    // Marks `item` as one of a set of items of which one is checked (the interface languages):
    // it reads as a radio button, "selected" or "not selected".
    static void ReadAsChoice(QAction& item);

    bool isValid() const override { return !menu_.isNull(); }
    QObject* object() const override;
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    QPointer<QMenu> menu_; // the menu that shows the item
    QAction& item_;
};

} // namespace nomilo
