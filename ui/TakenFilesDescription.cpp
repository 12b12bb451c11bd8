#include "ui/TakenFilesDescription.h"

#include "browse/FileListBox.h"

namespace nomilo {

TTakenFilesDescription::TTakenFilesDescription(TFileListBox& list, QWidget& renameButton)
    : QObject(&list), list_(list), renameButton_(renameButton) {
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { Update(); });
    // A selection gesture, a rename, a read of the list, the look of every entry selected.
    const QAbstractItemModel* model = &list.Model();
    connect(model, &QAbstractItemModel::dataChanged, &timer_, qOverload<>(&QTimer::start));
    connect(model, &QAbstractItemModel::modelReset, &timer_, qOverload<>(&QTimer::start));
    connect(&list, &TFileListBox::ShownEntriesChanged, &timer_, qOverload<>(&QTimer::start));
}

void TTakenFilesDescription::Set(const TAccessibleTexts& texts, bool selectedOnly) {
    texts_ = texts;
    selectedOnly_ = selectedOnly;
    Update();
}

void TTakenFilesDescription::Update() {
    timer_.stop();
    const QString which =
        QString::fromUtf8(selectedOnly_ ? texts_.selectedFilesTaken : texts_.everyFileTaken);
    const QString howMany = QString::fromUtf8(texts_.takenCount)
                                .arg(list_.ShownSelectedCount())
                                .arg(list_.EntryCount());
    const QString description = which + QStringLiteral(": ") + howMany;
    list_.setAccessibleDescription(description);
    renameButton_.setAccessibleDescription(description);
}

} // namespace nomilo
