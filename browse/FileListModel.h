#pragma once

#include "browse/EntryListModel.h"
#include "listing/FolderRuns.h"
#include "rename/RenamePreview.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nomilo {

// Which of the file list's glyphs an entry carries (its data word).
enum TEntryGlyph : std::uint8_t {
    egNone,
    egExecutable,
    egFolder,
    egUnknownFile,
};

// One entry of the file list: where its text lies (the name bytes as read, a folder in
// brackets), its glyph and its selected flag.
struct TFileEntry {
    TTextSpan text;
    TEntryGlyph glyph = egNone;
    bool selected = false;
};

// The file list's entries as a Qt list model. The selected flags live here, one per entry, so
// reading or setting one costs O(1) whatever the number of entries; the view paints selection
// from them. With subfolders included the entries are the files of many folders, folder by
// folder: each entry's text is its name, and it is shown by its path in the list's folder.
// Rows are checked by the caller.
class TFileListModel : public TEntryListModel<TFileEntry> {
public:
    explicit TFileListModel(QObject* parent = nullptr);

    // Replaces every entry, as TEntryListModel::Assign does, with the folders they lie in.
    void AssignTree(std::vector<TFileEntry> entries, QByteArray texts, TFolderRuns folders);
    const TFolderRuns& Folders() const { return folders_; }
    TEntryFolder Folder(int row) const { return folders_.Of(static_cast<std::uint32_t>(row)); }
    // The entry's path in the list's folder: its text after its folder's path.
    std::string Path(int row) const { return PathInFolder(Folder(row).path, Text(row)); }
    // The same for a text shown in the entry's place (a new name), decoded for the screen.
    QString ShownPath(int row, std::string_view text) const;

    // Gives entry `row` a new text in place: its glyph stays, it ends up not selected.
    void ReplaceText(int row, std::string_view text);

    void SetSelected(int row, bool selected);
    // The number of selected entries, kept as they change: O(1).
    int SelectedCount() const { return selectedCount_; }
    // Selects the entries `first` to `last` (in either order) and no other.
    void SelectOnly(int first, int last);
    // Selects the entries `first` to `last` (in either order), leaving the others as they are.
    void SelectRange(int first, int last);
    void SelectAll();

    // What the next batch would do with each entry, one per entry in order; shown until the
    // next read, or until it is set again or cleared. A preview of another length is none.
    // Answers the preview set before.
    TPreview SetPreview(TPreview preview);
    void ClearPreview();
    // The preview of entry `row` when the batch would rename or refuse it, else none.
    std::optional<TPreviewEntryView> Preview(int row) const;
    // How a refusal reads in an entry's tooltip.
    std::function<QString(TRefusal)> refusalText;

    // The tooltip of an entry the preview marks: "old name -> new name", and ": reason" for a
    // refusal; of any other entry its name.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    // Repaints the rows `first` to `last` (nothing when first > last).
    void RowsChanged(int first, int last);

    TPreview preview_;
    TFolderRuns folders_;     // none while the list shows one folder
    TFolderRuns nextFolders_; // those of the entries the reset under way brings
    int selectedCount_ = 0;
};

} // namespace nomilo
