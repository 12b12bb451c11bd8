#pragma once

#include "rename/RenameBatch.h"
#include "platform/files/DirListing.h"
#include "rename/RenamePreview.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
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
//
// The folder's names of a large list are read on a thread of their own, so that the list shows
// at once: until they are there, the preview shows nothing renamed.
class TNewNamesPreview : public QObject {
public:
    // `inputs` reads what the next batch would rename with; `caseBlind` tells whether the
    // list's volume ignores letter case.
    TNewNamesPreview(TFileListBox* list, std::function<TRenameInputs()> inputs,
                     std::function<bool()> caseBlind);
    ~TNewNamesPreview() override;

    bool On() const { return on_; }
    // Whether the folder's names are there to predict with (a large folder's come later).
    bool NamesRead() const { return folder_.has_value(); }
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
    // Reads the folder's names for the next recompute: at once for a small list, else on a
    // thread of its own; answers whether they are there.
    bool ReadFolder();
    void FolderRead(std::uint64_t read, std::optional<DirListing> listing);
    void MakeFolder(DirListing listing);
    // The same for a list with subfolders included: each of its folders.
    void FoldersRead(std::uint64_t read, std::vector<TPreviewFolder> folders);
    void MakeFolders(std::vector<TPreviewFolder> folders);

    TFileListBox* list_;
    std::function<TRenameInputs()> inputs_;
    std::function<bool()> caseBlind_;
    std::function<const IFieldContext*(const TRenameRule&)> fieldContext_;
    QTimer timer_;
    std::optional<TRenamePreview> folder_; // the folder as last read
    std::optional<TRenameRule> rule_;      // the rule of the last recompute, its expression kept
    TPreview spare_; // the preview the list showed before the last one: the next is made in it
    bool on_ = false;
    std::uint64_t read_ = 0;   // the number of the last read begun; later ones drop earlier
    bool reading_ = false;     // a read on its thread has not come back yet
    // The threads' way back: they hold it weakly, so the answer of a read that comes after
    // the preview is gone is dropped.
    std::shared_ptr<TNewNamesPreview*> self_;
};

} // namespace nomilo
