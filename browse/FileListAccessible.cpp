#include "browse/FileListAccessible.h"

#include "browse/FileListBox.h"

#include <QWidget>
#include <vector>

namespace nomilo {

namespace {

// The rows on screen: from the one at the top of the viewport to the one at its bottom.
std::pair<int, int> RowsOnScreen(const TFileListBox& list) {
    const QWidget* viewport = list.viewport();
    const int count = list.EntryCount();
    if (count == 0 || !list.isVisible())
        return {0, -1};
    const QModelIndex top = list.indexAt(QPoint(0, 0));
    const QModelIndex bottom = list.indexAt(QPoint(0, viewport->height() - 1));
    return {top.isValid() ? top.row() : 0, bottom.isValid() ? bottom.row() : count - 1};
}

} // namespace

// --- the list ---------------------------------------------------------------------------------

TFileListAccessible::TFileListAccessible(TFileListBox* list)
    : QAccessibleWidget(list, QAccessible::List),
      announcer_(std::make_unique<TEntryAnnouncer>(list, this)) {}

TFileListAccessible::~TFileListAccessible() {
    ForgetEntries();
}

QAccessibleInterface* TFileListAccessible::Create(const QString& className, QObject* object) {
    if (className == QLatin1String("nomilo::TFileListBox"))
        if (auto* list = qobject_cast<TFileListBox*>(object))
            return new TFileListAccessible(list);
    return nullptr;
}

TFileListBox* TFileListAccessible::List() const {
    return static_cast<TFileListBox*>(widget());
}

void TFileListAccessible::ForgetEntries() {
    for (const auto& [row, id] : entries_)
        QAccessible::deleteAccessibleInterface(id);
    entries_.clear();
}

void* TFileListAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State TFileListAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.multiSelectable = List()->MultiSelect();
    state.extSelectable = List()->MultiSelect();
    return state;
}

int TFileListAccessible::childCount() const {
    return List()->EntryCount();
}

QAccessibleInterface* TFileListAccessible::child(int index) const {
    if (index < 0 || index >= childCount())
        return nullptr;
    const auto known = entries_.find(index);
    if (known != entries_.end())
        return QAccessible::accessibleInterface(known->second);
    auto* entry = new TFileEntryAccessible(List(), index);
    entries_.emplace(index, QAccessible::registerAccessibleInterface(entry));
    return entry;
}

int TFileListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (!child)
        return -1;
    const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child));
    for (const auto& [row, known] : entries_)
        if (known == id)
            return row;
    return -1;
}

QAccessibleInterface* TFileListAccessible::childAt(int x, int y) const {
    const TFileListBox* list = List();
    const QPoint point = list->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = list->indexAt(point);
    return index.isValid() ? child(index.row()) : nullptr;
}

QAccessibleInterface* TFileListAccessible::focusChild() const {
    const TFileListBox* list = List();
    return list->hasFocus() ? child(list->CurrentIndex()) : nullptr;
}

QAccessibleInterface* TFileListAccessible::cellAt(int row, int column) const {
    return column == 0 ? child(row) : nullptr;
}

QList<QAccessibleInterface*> TFileListAccessible::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    for (int row : selectedRows())
        cells.append(child(row));
    return cells;
}

int TFileListAccessible::selectedRowCount() const {
    return List()->ShownSelectedCount();
}

QList<int> TFileListAccessible::selectedRows() const {
    QList<int> rows;
    for (int row = 0; row < rowCount(); ++row)
        if (isRowSelected(row))
            rows.append(row);
    return rows;
}

bool TFileListAccessible::isRowSelected(int row) const {
    const TFileListBox* list = List();
    if (row < 0 || row >= list->EntryCount())
        return false;
    return list->ShownAllSelected() || list->IsEntrySelected(row);
}

bool TFileListAccessible::selectRow(int row) {
    if (row < 0 || row >= rowCount())
        return false;
    List()->SetEntrySelectedByUser(row, true);
    return true;
}

bool TFileListAccessible::unselectRow(int row) {
    if (row < 0 || row >= rowCount())
        return false;
    List()->SetEntrySelectedByUser(row, false);
    return true;
}

// --- an entry ---------------------------------------------------------------------------------

TFileEntryAccessible::TFileEntryAccessible(TFileListBox* list, int row) : list_(list), row_(row) {
    heard = Exposure();
}

bool TFileEntryAccessible::isValid() const {
    return list_ && row_ < list_->EntryCount();
}

QWindow* TFileEntryAccessible::window() const {
    return list_ ? list_->window()->windowHandle() : nullptr;
}

QAccessibleInterface* TFileEntryAccessible::parent() const {
    return QAccessible::queryAccessibleInterface(list_.data());
}

TEntryExposure TFileEntryAccessible::Exposure() const {
    if (!isValid())
        return {};
    const TFileListModel& model = list_->Model();
    const QModelIndex index = model.index(row_);
    TEntryExposure exposure;
    const std::optional<TPreviewEntryView> preview = model.Preview(row_);
    if (preview && preview->mark == TPreviewEntry::Renamed)
        exposure.name = DecodedText(preview->newName);
    else
        exposure.name = model.data(index, Qt::AccessibleTextRole).toString();
    if (preview)
        exposure.description = model.data(index, Qt::ToolTipRole).toString();
    exposure.selected = isSelected();
    return exposure;
}

QString TFileEntryAccessible::text(QAccessible::Text type) const {
    switch (type) {
    case QAccessible::Name:
        return Exposure().name;
    case QAccessible::Description:
        return Exposure().description;
    default:
        return {};
    }
}

QRect TFileEntryAccessible::rect() const {
    if (!isValid())
        return {};
    const QRect entry = list_->visualRect(list_->Model().index(row_));
    const QRect shown = entry.intersected(list_->viewport()->rect());
    if (shown.isEmpty())
        return {};
    return QRect(list_->viewport()->mapToGlobal(shown.topLeft()), shown.size());
}

QAccessible::State TFileEntryAccessible::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    state.selectable = true;
    state.selected = isSelected();
    state.focusable = true;
    state.focused = list_->hasFocus() && list_->CurrentIndex() == row_;
    if (rect().isEmpty()) {
        state.invisible = true;
        state.offscreen = true;
    }
    return state;
}

void* TFileEntryAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableCellInterface)
        return static_cast<QAccessibleTableCellInterface*>(this);
    if (type == QAccessible::ActionInterface)
        return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
}

bool TFileEntryAccessible::isSelected() const {
    return isValid() && (list_->ShownAllSelected() || list_->IsEntrySelected(row_));
}

QStringList TFileEntryAccessible::actionNames() const {
    return {toggleAction()};
}

void TFileEntryAccessible::doAction(const QString& actionName) {
    if (actionName == toggleAction() && isValid())
        list_->SetEntrySelectedByUser(row_, !list_->IsEntrySelected(row_));
}

// --- announcements ----------------------------------------------------------------------------

TEntryAnnouncer::TEntryAnnouncer(TFileListBox* list, TFileListAccessible* owner)
    : list_(list), owner_(owner) {
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { Announce(); });
    const QAbstractItemModel* model = &list->Model();
    connect(model, &QAbstractItemModel::dataChanged, this, [this] { Schedule(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { owner_->ForgetEntries(); });
    connect(list, &TFileListBox::ShownEntriesChanged, this, [this] { Schedule(); });
}

void TEntryAnnouncer::Schedule() {
    if (QAccessible::isActive() && !owner_->Entries().empty())
        timer_.start();
}

void TEntryAnnouncer::Announce() {
    if (!list_ || !QAccessible::isActive())
        return;
    // The entries on screen and the current one, of those an assistive technology asked for.
    const auto [first, last] = RowsOnScreen(*list_);
    std::vector<int> rows;
    for (int row = first; row <= last; ++row)
        rows.push_back(row);
    const int current = list_->CurrentIndex();
    if (current >= 0 && (current < first || current > last))
        rows.push_back(current);
    for (const int row : rows) {
        const auto known = owner_->Entries().find(row);
        if (known == owner_->Entries().end())
            continue;
        auto* entry =
            static_cast<TFileEntryAccessible*>(QAccessible::accessibleInterface(known->second));
        if (!entry)
            continue;
        const TEntryExposure now = entry->Exposure();
        const TEntryExposure before = entry->heard;
        entry->heard = now;
        if (now.name != before.name) {
            QAccessibleEvent event(list_.data(), QAccessible::NameChanged);
            event.setChild(row);
            QAccessible::updateAccessibility(&event);
        }
        if (now.description != before.description) {
            QAccessibleEvent event(list_.data(), QAccessible::DescriptionChanged);
            event.setChild(row);
            QAccessible::updateAccessibility(&event);
        }
        if (now.selected != before.selected) {
            // As Qt's own item views tell it, which the AT-SPI bridge passes on as the entry's
            // selected state.
            QAccessibleEvent event(list_.data(), now.selected ? QAccessible::SelectionAdd
                                                              : QAccessible::SelectionRemove);
            event.setChild(row);
            QAccessible::updateAccessibility(&event);
        }
    }
}

} // namespace nomilo
