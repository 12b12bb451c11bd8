#pragma once

#include "listing/FolderRuns.h"
#include "listing/TreeWalk.h"
#include "platform/files/FileAttributes.h"
#include "rename/FileEntries.h"

#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// The file list of the terminal command: the entries the window's file list shows for the same
// folder and mask, in its order, each with a selected flag; with subfolders included, the
// entries of each folder of the tree, folder by folder.
class TListedFiles final : public IFileEntries {
public:
    // The files of the current directory that the file list shows with `mask` and its default
    // file type (no hidden files, no folders), sorted as it sorts them. Links are not looked
    // through into the `network` mounts.
    static TListedFiles Read(std::string_view mask, const TNetworkMounts& network = {});

    // The same of the current directory and every folder below it, as the file list shows
    // them with subfolders included (WalkTree); `leftOut` gets the folders the walk left out.
    static TListedFiles ReadTree(std::string_view mask, TTreeLeftOut& leftOut,
                                 const TNetworkMounts& network = {});

    explicit TListedFiles(std::vector<std::string> names, TFolderRuns folders = {});

    // Selects every entry whose path in the list's folder is one of `paths` (a file that two
    // sub-masks match is listed twice), and every entry below a folder of `paths`; answers the
    // paths that select nothing.
    std::vector<std::string> Select(const std::vector<std::string>& paths);

    // The entries, the text of entry `index` (below Size) and its path in the list's folder.
    std::size_t Size() const { return names_.size(); }
    const std::string& Name(std::size_t index) const { return names_[index]; }
    std::string Path(std::size_t index) const;
    // The folders of the entries, by their runs; none for a list of one folder.
    const TFolderRuns& Folders() const { return folders_; }

    int EntryCount() const override;
    std::string EntryText(int index) const override;
    std::string_view EntryTextView(int index, std::string& copy) const override;
    bool IsEntrySelected(int index) const override;
    TEntryFolder EntryFolder(int index) const override;
    void SetEntrySelected(int index, bool selected) override;
    void ReplaceEntryText(int index, const std::string& text) override;

private:
    std::size_t Checked(int index) const;

    std::vector<std::string> names_;
    std::vector<char> selected_;
    TFolderRuns folders_;
};

} // namespace nomilo
