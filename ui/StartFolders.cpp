#include "ui/StartFolders.h"

#include "browse/EntryListModel.h"
#include "platform/files/ResponsiveCalls.h"
#include "ui/ResponsiveWaits.h"
#include "ui/Unit1.h"

#include <QMessageBox>
#include <cstdlib>

namespace nomilo {

bool StartFolderAnswers(const std::string& path) {
    return AnswersWithin(path, kStartFolderPatience);
}

std::string AnsweringStartFolder() {
    const char* home = std::getenv("HOME");
    return home && *home == '/' && StartFolderAnswers(home) ? std::string(home) : "/";
}

TStartSelection StartSelectionOf(const std::vector<std::string>& paths) {
    TStartSelection selection = UngroupedSelection(paths);
    if (!StartFolderAnswers(selection.folder))
        return selection;
    try {
        // The other paths may lie on a server that does not answer: a signal then ends the
        // wait, and the program, before any window shows.
        return GroupSelection(paths);
    } catch (const EAbandonedCall&) {
        return selection;
    }
}

void ShowFolderNoAnswer(QWidget* owner, const QString& caption, const std::string& folder) {
    const QString text = QString::fromUtf8(FeatureTexts.folderNoAnswer).arg(DecodedText(folder));
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

} // namespace nomilo
