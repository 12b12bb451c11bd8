#include "browse/DriveComboBoxAccessible.h"

#include "browse/DriveComboBox.h"

#include <QAbstractItemView>

namespace nomilo {

TDriveComboBoxAccessible::TDriveComboBoxAccessible(TDriveComboBox* comboBox)
    : QAccessibleWidget(comboBox, QAccessible::ComboBox) {}

QAccessibleInterface* TDriveComboBoxAccessible::Create(const QString& className, QObject* object) {
    if (className == QLatin1String("nomilo::TDriveComboBox"))
        if (auto* comboBox = qobject_cast<TDriveComboBox*>(object))
            return new TDriveComboBoxAccessible(comboBox);
    return nullptr;
}

TDriveComboBox* TDriveComboBoxAccessible::ComboBox() const {
    return static_cast<TDriveComboBox*>(widget());
}

QString TDriveComboBoxAccessible::text(QAccessible::Text type) const {
    if (type == QAccessible::Value)
        return ComboBox()->currentText();
    return QAccessibleWidget::text(type);
}

QAccessible::State TDriveComboBoxAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.expandable = true;
    state.hasPopup = true;
    state.expanded = ComboBox()->view()->isVisible();
    state.collapsed = !state.expanded;
    return state;
}

QAccessibleInterface* TDriveComboBoxAccessible::child(int index) const {
    return index == 0 ? QAccessible::queryAccessibleInterface(ComboBox()->view()) : nullptr;
}

int TDriveComboBoxAccessible::indexOfChild(const QAccessibleInterface* child) const {
    return child && child->object() == ComboBox()->view() ? 0 : -1;
}

QStringList TDriveComboBoxAccessible::actionNames() const {
    return {showMenuAction(), pressAction()};
}

void TDriveComboBoxAccessible::doAction(const QString& actionName) {
    if (actionName != showMenuAction() && actionName != pressAction())
        return;
    if (ComboBox()->view()->isVisible())
        ComboBox()->hidePopup();
    else
        ComboBox()->showPopup();
}

} // namespace nomilo
