#include "ui/UndoMessages.h"

#include "browse/EntryListModel.h"
#include "ui/Unit1.h"

#include <QMessageBox>

namespace nomilo {

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

QString JournalTroubleText(const JournalTrouble& trouble, const std::string& journalPath) {
    const QString path = DecodedText(journalPath);
    const QString system = QString::fromLocal8Bit(trouble.error.message());
    switch (trouble.problem) {
    case JournalProblem::Busy:
        return Text(FeatureTexts.journalBusy).arg(path);
    case JournalProblem::LockUnusable:
        return Text(FeatureTexts.journalLockUnusable)
            .arg(DecodedText(journalPath + ".lock"), system);
    case JournalProblem::Damaged:
        return Text(FeatureTexts.journalDamaged).arg(path);
    case JournalProblem::NotRegular:
        return Text(FeatureTexts.journalNotRegular).arg(path);
    case JournalProblem::NotOwned:
        return Text(FeatureTexts.journalNotOwned).arg(path);
    case JournalProblem::WritableByOthers:
        return Text(FeatureTexts.journalWritableByOthers).arg(path);
    case JournalProblem::Unreadable:
        return Text(FeatureTexts.journalUnreadable).arg(path, system);
    case JournalProblem::NoAnswer:
        return Text(FeatureTexts.journalNoAnswer).arg(path);
    case JournalProblem::NotWritten:
    case JournalProblem::None:
        break;
    }
    return Text(FeatureTexts.journalNotWritten).arg(path, system);
}

QString NotUndoableText(const JournalTrouble& trouble, const std::string& journalPath) {
    return Text(FeatureTexts.notUndoable).arg(JournalTroubleText(trouble, journalPath));
}

QString NothingUndoneText(const JournalTrouble& trouble, const std::string& journalPath) {
    return Text(FeatureTexts.nothingUndone).arg(JournalTroubleText(trouble, journalPath));
}

QString FolderReplacedText(const std::string& folder, bool givenUp) {
    return Text(FeatureTexts.nothingUndone)
               .arg(Text(FeatureTexts.folderReplaced).arg(DecodedText(folder))) +
           QLatin1Char(' ') +
           Text(givenUp ? FeatureTexts.folderGoneForGood : FeatureTexts.folderMayComeBack);
}

void ShowUndoMessage(QWidget* owner, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

} // namespace nomilo
