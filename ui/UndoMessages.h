#pragma once

#include "platform/journal/JournalFile.h"

#include <QString>
#include <string>

class QWidget;

namespace nomilo {

// Why the undo journal at `journalPath` cannot be used (or written), in the current language:
// one clause, naming the file.
QString JournalTroubleText(const JournalTrouble& trouble, const std::string& journalPath);

// The message after a batch that renamed files with no journal to take them back.
QString NotUndoableText(const JournalTrouble& trouble, const std::string& journalPath);

// The message of an undo that renamed nothing because of the journal, or because the folder at
// the batch's path is not the batch's folder.
QString NothingUndoneText(const JournalTrouble& trouble, const std::string& journalPath);
// `givenUp`: the folder's drive is there without the folder, and the undo is no more.
QString FolderReplacedText(const std::string& folder, bool givenUp);

// A message box owned by `owner` under `caption`, with a single OK and no icon, as the batch's
// failure message.
void ShowUndoMessage(QWidget* owner, const QString& caption, const QString& text);

} // namespace nomilo
