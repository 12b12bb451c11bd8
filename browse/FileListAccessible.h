#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>
#include <unordered_map>

namespace nomilo {

class TFileListBox;
class TFileEntryAccessible;
class TEntryAnnouncer;

// The file list as assistive technologies (screen readers, through AT-SPI) see it: a list, multi-
// selectable when the list is, whose children are its entries in entry order. An entry is
// selected as it is drawn: in its own right, or because the list shows every entry as selected
// (the window's selected-only mode off: Rename takes them all). An entry the preview of new
// names renames is named by its new name; an entry the preview touches is described as its
// tooltip reads ("old -> new", and the reason of a refusal). Rows are selected and unselected
// through the table interface, which the AT-SPI bridge offers as the list's selection, and
// through each entry's toggle action.
//
// Nothing of this costs anything while no assistive technology listens: entries get an
// interface only when one asks for them, and changes are announced only for the entries it
// knows that are on screen (or current), once per turn of the event loop.
class TFileListAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit TFileListAccessible(TFileListBox* list);
    ~TFileListAccessible() override;

    // The factory for QAccessible::installFactory.
    static QAccessibleInterface* Create(const QString& className, QObject* object);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override { return selectedRowCount(); }
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int) const override { return {}; }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override { return 1; }
    int rowCount() const override { return childCount(); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

    // The interfaces of the entries handed out so far, by row.
    const std::unordered_map<int, QAccessible::Id>& Entries() const { return entries_; }
    // Forgets them (a read brought other entries).
    void ForgetEntries();

private:
    TFileListBox* List() const;

    mutable std::unordered_map<int, QAccessible::Id> entries_;
    std::unique_ptr<TEntryAnnouncer> announcer_;
};

// What assistive technologies hear of one entry.
struct TEntryExposure {
    QString name;
    QString description;
    bool selected = false;

    bool operator==(const TEntryExposure&) const = default;
};

// One entry of the file list, by row.
class TFileEntryAccessible : public QAccessibleInterface,
                             public QAccessibleTableCellInterface,
                             public QAccessibleActionInterface {
public:
    TFileEntryAccessible(TFileListBox* list, int row);

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return 0; }
    int rowIndex() const override { return row_; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    // Toggles the entry's selection, as Ctrl+click does.
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    int Row() const { return row_; }
    // What the entry shows now.
    TEntryExposure Exposure() const;
    // What assistive technologies last heard of it; updated by the announcer.
    TEntryExposure heard;

private:
    QPointer<TFileListBox> list_;
    int row_;
};

// Announces the changes of the entries an assistive technology knows, at most once per turn of
// the event loop however many changes came (a keystroke that recomputes the preview, a selection
// gesture), and only for entries on screen or current: never a walk over the whole list.
class TEntryAnnouncer : public QObject {
public:
    TEntryAnnouncer(TFileListBox* list, TFileListAccessible* owner);

    // Something an entry shows may have changed.
    void Schedule();
    // Sends a name, description or selection event for each known entry on screen that shows
    // something else than it was last heard to.
    void Announce();

private:
    QPointer<TFileListBox> list_;
    TFileListAccessible* owner_;
    QTimer timer_;
};

} // namespace nomilo
