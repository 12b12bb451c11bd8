#include "ui/MenuItemAccessible.h"

#include <QAction>
#include <QStyle>
#include <QVariant>

namespace nomilo {

namespace {

// The dynamic property that marks an item as one of a choice.
constexpr char kChoiceProperty[] = "nomiloMenuChoice";

// A caption as it is read: mnemonic marks taken out, "&&" read as "&".
QString WithoutMnemonics(const QString& caption) {
    QString text;
    text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        text += caption[i];
    }
    return text;
}

} // namespace

TMenuItemAccessible::TMenuItemAccessible(QMenu& menu, QAction& item) : menu_(&menu), item_(item) {}

void TMenuItemAccessible::ReadAsChoice(QAction& item) {
    item.setProperty(kChoiceProperty, true);
}

QObject* TMenuItemAccessible::object() const {
    return &item_;
}

QWindow* TMenuItemAccessible::window() const {
    return menu_ ? menu_->windowHandle() : nullptr;
}

QAccessibleInterface* TMenuItemAccessible::parent() const {
    return menu_ ? QAccessible::queryAccessibleInterface(menu_) : nullptr;
}

QString TMenuItemAccessible::text(QAccessible::Text type) const {
    switch (type) {
    case QAccessible::Name:
        return WithoutMnemonics(item_.text());
    case QAccessible::Accelerator:
        return item_.shortcut().toString(QKeySequence::NativeText);
    default:
        return {};
    }
}

QRect TMenuItemAccessible::rect() const {
    if (!menu_)
        return {};
    const QRect place = menu_->actionGeometry(&item_);
    return {menu_->mapToGlobal(place.topLeft()), place.size()};
}

QAccessible::Role TMenuItemAccessible::role() const {
    if (item_.isSeparator())
        return QAccessible::Separator;
    if (!item_.isCheckable())
        return QAccessible::MenuItem;
    return item_.property(kChoiceProperty).toBool() ? QAccessible::RadioButton
                                                    : QAccessible::CheckBox;
}

QAccessible::State TMenuItemAccessible::state() const {
    QAccessible::State state;
    state.invisible = !menu_ || !menu_->isVisible() || !item_.isVisible();
    state.focused = menu_ && menu_->activeAction() == &item_;
    state.hotTracked = menu_ && menu_->style()->styleHint(QStyle::SH_Menu_MouseTracking);
    state.disabled = item_.isSeparator() || !item_.isEnabled();
    state.checkable = item_.isCheckable();
    state.checked = item_.isChecked();
    return state;
}

void* TMenuItemAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ActionInterface)
        return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
}

QStringList TMenuItemAccessible::actionNames() const {
    if (item_.isSeparator())
        return {};
    return {item_.isCheckable() ? toggleAction() : pressAction()};
}

void TMenuItemAccessible::doAction(const QString& actionName) {
    if (actionNames().contains(actionName) && item_.isEnabled())
        item_.trigger();
}

QStringList TMenuItemAccessible::keyBindingsForAction(const QString& actionName) const {
    const QString shortcut = text(QAccessible::Accelerator);
    if (!actionNames().contains(actionName) || shortcut.isEmpty())
        return {};
    return {shortcut};
}

} // namespace nomilo
