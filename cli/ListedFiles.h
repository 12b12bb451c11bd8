#pragma once

#include "platform/files/FileAttributes.h"
#include "rename/FileEntries.h"

#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// The file list of the terminal command: the entries the window's file list shows for the same
// folder and mask, in its order, each with a selected flag.
class TListedFiles final : public IFileEntries {
public:
    // The files of the current directory that the file list shows with `mask` and its default
    // file type (no hidden files, no folders), sorted as it sorts them. Links are not looked
    // through into the `network` mounts.
    static TListedFiles Read(std::string_view mask, const TNetworkMounts& network = {});

    explicit TListedFiles(std::vector<std::string> names);

    // Selects every entry whose text is one of `names` (a file that two sub-masks match is
    // listed twice); answers the names no entry has.
    std::vector<std::string> Select(const std::vector<std::string>& names);

    // The entries, and the text of entry `index` (below Size).
    std::size_t Size() const { return names_.size(); }
    const std::string& Name(std::size_t index) const { return names_[index]; }

    int EntryCount() const override;
    std::string EntryText(int index) const override;
    bool IsEntrySelected(int index) const override;
    void SetEntrySelected(int index, bool selected) override;
    void ReplaceEntryText(int index, const std::string& text) override;

private:
    std::size_t Checked(int index) const;

    std::vector<std::string> names_;
    std::vector<char> selected_;
};

} // namespace nomilo
