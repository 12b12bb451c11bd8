#pragma once

#include "browse/EntryListModel.h"

#include <cstdint>

namespace nomilo {

// What an entry of the folder list stands for; it also chooses the entry's glyph.
enum TFolderEntryKind : std::uint8_t {
    fkAncestor,  // the root or a folder on the way down to the current folder ("OPENFOLDER")
    fkCurrent,   // the current folder itself ("CURRENTFOLDER")
    fkSubfolder, // a visible subfolder of the current folder ("CLOSEDFOLDER")
};

// One entry of the folder list: where its text lies (a folder name as the file system spells
// it, the whole root text for the root), and its kind.
struct TFolderEntry {
    TTextSpan text;
    TFolderEntryKind kind = fkSubfolder;
};

// The folder list's entries as a Qt list model.
using TFolderListModel = TEntryListModel<TFolderEntry>;

} // namespace nomilo
