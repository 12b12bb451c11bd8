#include "ui/NewNamesPreview.h"

#include "browse/FileListBox.h"
#include "platform/files/DirListing.h"
#include "ui/ErrorReport.h"

namespace nomilo {

TNewNamesPreview::TNewNamesPreview(TFileListBox* list, std::function<TRenameInputs()> inputs,
                                   std::function<bool()> caseBlind)
    : QObject(list), list_(list), inputs_(std::move(inputs)), caseBlind_(std::move(caseBlind)) {
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { Guarded([this] { Update(); }); });
    const QAbstractItemModel* model = &list_->Model();
    connect(model, &QAbstractItemModel::modelReset, this, [this] { FolderChanged(); });
    connect(model, &QAbstractItemModel::dataChanged, this, [this] { Schedule(); });
}

void TNewNamesPreview::SetOn(bool on) {
    if (on == on_)
        return;
    on_ = on;
    if (on_) {
        Schedule();
    } else {
        timer_.stop();
        folder_.reset();
        spare_ = TPreview();
        list_->ClearPreview();
    }
}

void TNewNamesPreview::Schedule() {
    if (on_)
        timer_.start();
}

void TNewNamesPreview::FolderChanged() {
    folder_.reset();
    Schedule();
}

void TNewNamesPreview::Update() {
    if (!on_)
        return;
    if (!folder_) {
        // The file list keeps the current directory on its folder.
        DirListing listing = ListCurrentDir();
        folder_.emplace(TPreviewFolder{std::move(listing.names), listing.nameMax,
                                       listing.writable, caseBlind_(), std::move(listing.pinned)},
                        *list_);
    }
    const TRenameInputs inputs = inputs_();
    rule_ = TRenameRule(inputs, rule_ ? &*rule_ : nullptr);
    if (fieldContext_ && !rule_->Error())
        rule_->SetFieldContext(fieldContext_(*rule_));
    // The room of the preview shown before is used again: a keystroke allocates nothing.
    TPreview& preview = spare_;
    preview.Reset(0);
    try {
        if (!rule_->Error())
            folder_->Predict(*list_, inputs.selectedOnly, *rule_, preview);
    } catch (const ERenameRule&) {
        preview.Reset(0); // the expression failed on a name: no batch would rename
    }
    if (preview.Size() != static_cast<std::size_t>(list_->EntryCount()))
        preview.Reset(static_cast<std::size_t>(list_->EntryCount()));
    spare_ = list_->SetPreview(std::move(preview));
}

} // namespace nomilo
