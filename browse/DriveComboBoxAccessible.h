#pragma once

#include <QAccessibleWidget>

namespace nomilo {

class TDriveComboBox;

// The drive selector as assistive technologies see it: a combo box named by its accessible name
// ("Drive"), its current drive the value. (Qt names a combo box on Linux by its current text,
// expecting a label beside it; the drive selector has none.) Its child is the drop-down list,
// and its actions open and close that list.
//
// The current drive is also its read-only text, which is where a screen reader looks for the
// value of a combo box that offers no selection interface (Qt 6.4's AT-SPI bridge offers none);
// a change of drive is told as a change of that text.
class TDriveComboBoxAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit TDriveComboBoxAccessible(TDriveComboBox* comboBox);

    // The factory for QAccessible::installFactory.
    static QAccessibleInterface* Create(const QString& className, QObject* object);

    QString text(QAccessible::Text type) const override;
    QAccessible::State state() const override;
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;

    void* interface_cast(QAccessible::InterfaceType type) override;

    // The current drive as text: no selection, the cursor at its start.
    void selection(int, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
    TDriveComboBox* ComboBox() const;

    QString toldText_; // the current drive as last told
};

} // namespace nomilo
