#include "ui/NewNamesPreview.h"

#include "browse/FileListBox.h"
#include "platform/files/DirListing.h"
#include "platform/files/ResponsiveCalls.h"
#include "ui/ErrorReport.h"

#include <QCoreApplication>
#include <thread>

namespace nomilo {

namespace {

// Lists of at least so many entries have their folder's names read on a thread of their own.
constexpr int kReadAsideFrom = 4096;

} // namespace

TNewNamesPreview::TNewNamesPreview(TFileListBox* list, std::function<TRenameInputs()> inputs,
                                   std::function<bool()> caseBlind)
    : QObject(list), list_(list), inputs_(std::move(inputs)), caseBlind_(std::move(caseBlind)),
      self_(std::make_shared<TNewNamesPreview*>(this)) {
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { Guarded([this] { Update(); }); });
    const QAbstractItemModel* model = &list_->Model();
    connect(model, &QAbstractItemModel::modelReset, this, [this] { FolderChanged(); });
    connect(model, &QAbstractItemModel::dataChanged, this, [this] { Schedule(); });
}

TNewNamesPreview::~TNewNamesPreview() = default;

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
    reading_ = false;
    ++read_; // a read under way is of the folder as it was
    Schedule();
}

bool TNewNamesPreview::ReadFolder() {
    if (folder_)
        return true;
    if (reading_)
        return false;
    // With subfolders included, each folder of the list is read.
    const TFolderRuns& folders = list_->Model().Folders();
    if (list_->EntryCount() < kReadAsideFrom) {
        // The file list keeps the current directory on its folder.
        if (folders.Count() > 0)
            MakeFolders(ReadPreviewFolders(folders.Paths(), caseBlind_()));
        else
            MakeFolder(ListCurrentDir());
        return true;
    }
    reading_ = true;
    if (folders.Count() > 0) {
        std::thread([back = std::weak_ptr(self_), number = ++read_, root = list_->FolderPath(),
                     paths = folders.Paths(), caseBlind = caseBlind_()] {
            std::vector<TPreviewFolder> read = ReadPreviewFolders(paths, caseBlind, root);
            QMetaObject::invokeMethod(
                qApp,
                [back, number, read = std::move(read)]() mutable {
                    if (const auto preview = back.lock())
                        (*preview)->FoldersRead(number, std::move(read));
                },
                Qt::QueuedConnection);
        }).detach();
        return false;
    }
    std::thread([back = std::weak_ptr(self_), read = ++read_, path = list_->FolderPath()] {
        std::optional<DirListing> listing = ListFolder(path);
        QMetaObject::invokeMethod(
            qApp,
            [back, read, listing = std::move(listing)]() mutable {
                if (const auto preview = back.lock())
                    (*preview)->FolderRead(read, std::move(listing));
            },
            Qt::QueuedConnection);
    }).detach();
    return false;
}

void TNewNamesPreview::FolderRead(std::uint64_t read, std::optional<DirListing> listing) {
    if (read != read_ || !reading_)
        return;
    reading_ = false;
    // A folder the thread could not open is read here, in the current directory.
    MakeFolder(listing ? std::move(*listing) : ListCurrentDir());
    Schedule();
}

void TNewNamesPreview::FoldersRead(std::uint64_t read, std::vector<TPreviewFolder> folders) {
    if (read != read_ || !reading_)
        return;
    reading_ = false;
    MakeFolders(std::move(folders));
    Schedule();
}

void TNewNamesPreview::MakeFolders(std::vector<TPreviewFolder> folders) {
    folder_.emplace(std::move(folders), *list_);
}

void TNewNamesPreview::MakeFolder(DirListing listing) {
    folder_.emplace(TPreviewFolder{std::move(listing.names), listing.nameMax, listing.writable,
                                   caseBlind_(), std::move(listing.pinned)},
                    *list_);
}

void TNewNamesPreview::Update() {
    if (!on_)
        return;
    if (!ReadFolder()) {
        // The list shows at once; its new names come with the folder's names.
        list_->ClearPreview();
        return;
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
