#pragma once

#include "facts/FactsWorker.h"
#include "facts/FolderFacts.h"
#include "rename/RenameRule.h"

#include <QLabel>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

namespace nomilo {

class TFileListBox;

// The facts of the file list's entries that the rule's fields need, read off the window's
// thread (TFactsWorker), the rows in view first; the preview fills in as they arrive, and a
// line at the foot of the list says that new names are still being worked out. Rename waits
// for the facts it needs with the hourglass and a progress dialog.
class TListFacts : public QObject {
public:
    // `changed` runs when facts arrived (at most a few times a second) or were given up.
    TListFacts(TFileListBox* list, std::function<bool()> caseBlind, std::function<void()> changed);
    ~TListFacts() override;

    // The field context for `rule`, its reading started or widened as the rule needs; nullptr
    // for a rule without fields.
    const IFieldContext* ContextFor(const TRenameRule& rule);
    // Waits until every fact `rule` needs is there, showing progress; false when the user gave
    // up waiting.
    bool WaitFor(const TRenameRule& rule);
    // The list was read again: what was read of it is gone.
    void ListChanged();
    // A batch or an undo renamed files: the names on disk are read again when needed.
    void NamesChanged() { namesRead_ = false; }
    // The text of the line at the foot of the list: "%1" is the number of files left.
    void SetStillReadingText(QString text) { stillReadingText_ = std::move(text); }
    // The progress dialog's label and its button while Rename waits.
    void SetWaitingTexts(QString label, QString cancel) {
        waitingText_ = std::move(label);
        cancelText_ = std::move(cancel);
    }

private:
    void Start(TFactNeeds needs, bool copies);
    void Arrived(std::uint64_t job, const std::vector<std::pair<int, const TFileFacts*>>& facts,
                 bool finished);
    void UpdateLine();

    TFileListBox* list_;
    std::function<bool()> caseBlind_;
    std::function<void()> changed_;
    std::unique_ptr<TFactsWorker> worker_; // made at the first rule with fields
    TEntryFacts facts_;
    std::uint64_t job_ = 0;           // the job whose facts are taken
    TFactNeeds reading_ = NeedsNothing; // what that job reads
    bool namesRead_ = false;          // the names on disk are there, for {copy}
    bool stale_ = true;               // the list changed since the last job began
    QTimer tell_;                     // coalesces `changed` while facts arrive
    QLabel* line_;
    QString stillReadingText_ = QStringLiteral("%1");
    QString waitingText_;
    QString cancelText_;
};

} // namespace nomilo
