#include "browse/DriveComboBoxAccessible.h"

#include "browse/DriveComboBox.h"

#include <QAbstractItemView>
#include <algorithm>

namespace nomilo {

TDriveComboBoxAccessible::TDriveComboBoxAccessible(TDriveComboBox* comboBox)
    : QAccessibleWidget(comboBox, QAccessible::ComboBox), toldText_(comboBox->currentText()) {
    // The interface lives as long as the combo box, so the connection ends with both.
    QObject::connect(comboBox, &QComboBox::currentTextChanged, comboBox,
                     [this, comboBox](const QString& current) {
                         if (current == toldText_ || !QAccessible::isActive())
                             return;
                         QAccessibleTextUpdateEvent event(comboBox, 0, toldText_, current);
                         toldText_ = current;
                         QAccessible::updateAccessibility(&event);
                     });
}

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

// --- the current drive as text ----------------------------------------------------------------

namespace nomilo {

void* TDriveComboBoxAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

void TDriveComboBoxAccessible::selection(int, int* startOffset, int* endOffset) const {
    *startOffset = 0;
    *endOffset = 0;
}

QString TDriveComboBoxAccessible::text(int startOffset, int endOffset) const {
    const QString current = ComboBox()->currentText();
    if (endOffset < 0 || endOffset > current.size())
        endOffset = static_cast<int>(current.size());
    startOffset = std::clamp(startOffset, 0, endOffset);
    return current.mid(startOffset, endOffset - startOffset);
}

int TDriveComboBoxAccessible::characterCount() const {
    return static_cast<int>(ComboBox()->currentText().size());
}

QString TDriveComboBoxAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    (void)offset;
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

} // namespace nomilo
