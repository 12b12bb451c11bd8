#pragma once

#include "ui/LanguageTables.h"

#include <QObject>
#include <QTimer>

class QWidget;

namespace nomilo {

class TFileListBox;

// Tells assistive technologies which files Rename takes and how many, in the description of the
// file list and in that of the Rename button, which a screen reader reads as the button gets the
// focus ("Rename takes the selected files only: 2 of 3"). Sighted users tell which files by the
// list's colours. (A screen reader would count the selected files itself through the list's
// AT-SPI selection, which Qt 6.4 cannot offer.) The count follows the selection and every read
// of the list, once per turn of the event loop.
class TTakenFilesDescription : public QObject {
public:
    TTakenFilesDescription(TFileListBox& list, QWidget& renameButton);

    // The texts of the interface language, and whether Rename takes the selected files only.
    void Set(const TAccessibleTexts& texts, bool selectedOnly);

private:
    void Update();

    TFileListBox& list_;
    QWidget& renameButton_;
    TAccessibleTexts texts_ = kLanguageTables[1].accessible;
    bool selectedOnly_ = false;
    QTimer timer_;
};

} // namespace nomilo
