#pragma once

#include <QAbstractListModel>
#include <cstdint>
#include <string>
#include <vector>

namespace nomilo {

// What an entry of the folder list stands for; it also chooses the entry's glyph.
enum TFolderEntryKind : std::uint8_t {
    fkAncestor,  // the root or a folder on the way down to the current folder ("OPENFOLDER")
    fkCurrent,   // the current folder itself ("CURRENTFOLDER")
    fkSubfolder, // a visible subfolder of the current folder ("CLOSEDFOLDER")
};

// One entry of the folder list: a folder name as the file system spells it (the whole root
// text for the root), and its kind.
struct TFolderEntry {
    std::string text;
    TFolderEntryKind kind = fkSubfolder;
};

// The folder list's entries as a Qt list model. Rows are checked by the caller.
class TFolderListModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The display role gives the name decoded from UTF-8 (bytes that are not UTF-8 as
    // replacement characters).
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int Count() const { return static_cast<int>(entries_.size()); }
    bool IsRow(int row) const { return row >= 0 && row < Count(); }
    const TFolderEntry& Entry(int row) const { return entries_[static_cast<std::size_t>(row)]; }

    // Replaces every entry (one model reset).
    void Assign(std::vector<TFolderEntry> entries);

private:
    std::vector<TFolderEntry> entries_;
};

} // namespace nomilo
