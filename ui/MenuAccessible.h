#pragma once

#include <QAccessibleWidget>

class QMenu;

namespace nomilo {

// A menu as assistive technologies see it: a popup menu whose children are its items
// (TMenuItemAccessible), so that a checkable item reads as checked or not checked. (Qt's own
// menu interface finds the place of a child among its items only for plain menu items and
// separators; an item of another role would be lost to a screen reader.) A menu shows no
// submenus through it.
class TMenuAccessible : public QAccessibleWidget {
public:
    explicit TMenuAccessible(QMenu* menu);

    // Has assistive technologies see `menu` through this interface (its factory is installed at
    // the first call). Called before the menu is first shown.
    static void Take(QMenu& menu);
    // The factory for QAccessible::installFactory: answers for the menus taken only.
    static QAccessibleInterface* Create(const QString& className, QObject* object);

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

private:
    QMenu* Menu() const;
};

} // namespace nomilo
