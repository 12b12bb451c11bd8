#pragma once

#include <QAbstractListModel>
#include <cstdint>
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

// One entry of the file list: the name bytes as read (a folder in brackets), its glyph and its
// selected flag.
struct TFileEntry {
    std::string text;
    TEntryGlyph glyph = egNone;
    bool selected = false;
};

// The file list's entries as a Qt list model. The selected flags live here, one per entry, so
// reading or setting one costs O(1) whatever the number of entries; the view paints selection
// from them. Rows are checked by the caller.
class TFileListModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The display role gives the name decoded from UTF-8 (bytes that are not UTF-8 as
    // replacement characters).
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int Count() const { return static_cast<int>(entries_.size()); }
    bool IsRow(int row) const { return row >= 0 && row < Count(); }
    const TFileEntry& Entry(int row) const { return entries_[static_cast<std::size_t>(row)]; }

    // Replaces every entry (a model reset).
    void Assign(std::vector<TFileEntry> entries);
    // Gives entry `row` a new text in place: its glyph stays, it ends up not selected.
    void ReplaceText(int row, const std::string& text);

    void SetSelected(int row, bool selected);
    // Selects the entries `first` to `last` (in either order) and no other.
    void SelectOnly(int first, int last);
    // Selects the entries `first` to `last` (in either order), leaving the others as they are.
    void SelectRange(int first, int last);
    void SelectAll();

private:
    // Repaints the rows `first` to `last` (nothing when first > last).
    void RowsChanged(int first, int last);

    std::vector<TFileEntry> entries_;
};

} // namespace nomilo
