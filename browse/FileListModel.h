#pragma once

#include "browse/EntryListModel.h"

#include <cstdint>
#include <string>

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
class TFileListModel : public TEntryListModel<TFileEntry> {
public:
    using TEntryListModel::TEntryListModel;

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
};

} // namespace nomilo
