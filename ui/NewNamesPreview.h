#pragma once

#include "rename/RenameBatch.h"
#include "rename/RenamePreview.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

namespace nomilo {

class TFileListBox;

// Keeps the file list's preview of new names up to date while it is on. Any change that can
// alter the prediction (the window's texts and switches, a read of the list, the selection, a
// batch) asks for a recompute; it runs once at the next turn of the event loop, however many
// changes came, so typing costs one walk a keystroke. The folder's names are read once per read
// of the list and after each batch or undo, not per keystroke; a regular expression is compiled
// once per change of the find text. While the rule cannot rename (a bad expression) the preview
// shows nothing renamed.
class TNewNamesPreview : public QObject {
public:
    // `inputs` reads what the next batch would rename with; `caseBlind` tells whether the
    // list's volume ignores letter case.
    TNewNamesPreview(TFileListBox* list, std::function<TRenameInputs()> inputs,
                     std::function<bool()> caseBlind);

    bool On() const { return on_; }
    void SetOn(bool on);
    // Something the preview depends on changed.
    void Schedule();
    // The folder changed on disk (a batch or an undo ran): its names are read again.
    void FolderChanged();
    // Recomputes the preview now.
    void Update();
    // Where a rule with fields takes its field context from.
    void SetFieldContext(std::function<const IFieldContext*(const TRenameRule&)> context) {
        fieldContext_ = std::move(context);
    }

private:
    TFileListBox* list_;
    std::function<TRenameInputs()> inputs_;
    std::function<bool()> caseBlind_;
    std::function<const IFieldContext*(const TRenameRule&)> fieldContext_;
    QTimer timer_;
    std::optional<TRenamePreview> folder_; // the folder as last read
    std::optional<TRenameRule> rule_;      // the rule of the last recompute, its expression kept
    TPreview spare_; // the preview the list showed before the last one: the next is made in it
    bool on_ = false;
};

} // namespace nomilo
