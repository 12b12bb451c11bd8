#pragma once

#include <QAccessibleWidget>

namespace nomilo {

class TDriveComboBox;

// The drive selector as assistive technologies see it: a combo box named by its accessible name
// ("Drive"), its current drive the value. (Qt names a combo box on Linux by its current text,
// expecting a label beside it; the drive selector has none.) Its child is the drop-down list,
// and its actions open and close that list.
class TDriveComboBoxAccessible : public QAccessibleWidget {
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

private:
    TDriveComboBox* ComboBox() const;
};

} // namespace nomilo
