#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nomilo {

// The folder an entry lies in, below the folder of the list: its number (the folders of a list
// are numbered from 0 in the list's order) and its path relative to the list's folder ("" for
// the list's folder itself, else "2024/05", without a slash at either end).
struct TEntryFolder {
    std::uint32_t number = 0;
    std::string_view path;
};

// `name` in the folder `folder` ("" for the list's own): "folder/name".
inline std::string PathInFolder(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    if (!folder.empty())
        path.push_back('/');
    path.append(name);
    return path;
}

// The entries of the file list as the rename batch sees them: positions 0 to EntryCount() - 1,
// each with a text (a bare file name), a selected flag and the folder it lies in (a list with
// subfolders included holds the files of many folders). A bad position makes every operation
// throw and change nothing.
class IFileEntries {
public:
    virtual ~IFileEntries() = default;

    virtual int EntryCount() const = 0;
    virtual std::string EntryText(int index) const = 0;
    // The text EntryText answers, without a copy where the list keeps its texts itself: a view
    // of the list's own store, valid until the list changes. The plan of a batch and its
    // preview read every entry this way. By default the text is copied into `copy`, which the
    // view then shows (valid until `copy` changes).
    virtual std::string_view EntryTextView(int index, std::string& copy) const {
        copy = EntryText(index);
        return copy;
    }
    virtual bool IsEntrySelected(int index) const = 0;
    // The folder of the entry; by default the list's own, for lists of one folder. A rename
    // never moves a file into another folder: its new name is a name in this one.
    virtual TEntryFolder EntryFolder(int) const { return {}; }
    // Sets or clears the flag of this one entry, with no notification.
    virtual void SetEntrySelected(int index, bool selected) = 0;
    // Replaces the text in place: the entry keeps its position and its other attributes, it
    // ends up not selected, the list is neither re-sorted nor re-read, and no file is touched.
    virtual void ReplaceEntryText(int index, const std::string& text) = 0;
};

} // namespace nomilo
