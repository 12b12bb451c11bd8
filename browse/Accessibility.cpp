#include "browse/Accessibility.h"

#include "browse/DriveComboBoxAccessible.h"
#include "browse/FileListAccessible.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QEvent>

namespace nomilo {

namespace {

// Watches a list for the focus; see TellCurrentEntryOnFocus.
class TCurrentEntryFocus : public QObject {
public:
    explicit TCurrentEntryFocus(QAbstractItemView& list) : QObject(&list), list_(list) {
        list.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The list's own focus is told after its focus-in event: the entry goes behind it.
        if (watched == &list_ && event->type() == QEvent::FocusIn && QAccessible::isActive())
            QMetaObject::invokeMethod(this, [this] { TellCurrentEntry(); }, Qt::QueuedConnection);
        return false;
    }

private:
    void TellCurrentEntry() {
        const QModelIndex current = list_.currentIndex();
        if (!list_.hasFocus() || !current.isValid() || !QAccessible::isActive())
            return;
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&list_);
        QAccessibleTableInterface* table = list ? list->tableInterface() : nullptr;
        QAccessibleInterface* entry = table ? table->cellAt(current.row(), current.column()) : nullptr;
        const int child = entry ? list->indexOfChild(entry) : -1;
        if (child < 0)
            return;
        QAccessibleEvent focus(&list_, QAccessible::Focus);
        focus.setChild(child);
        QAccessible::updateAccessibility(&focus);
    }

    QAbstractItemView& list_;
};

} // namespace

void InstallBrowseAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(TFileListAccessible::Create);
        QAccessible::installFactory(TDriveComboBoxAccessible::Create);
        return true;
    }();
    (void)installed;
}

void TellCurrentEntryOnFocus(QAbstractItemView& list) {
    new TCurrentEntryFocus(list);
}

} // namespace nomilo
