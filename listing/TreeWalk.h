#pragma once

#include "listing/MaskSearch.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// The folders a walk down a tree left out: those on another file system (another mount, a bind
// mount too), which it never enters, and those it could not read, with why.
struct TTreeLeftOut {
    struct TFolder {
        std::string path; // relative to the folder the walk started in
        int error;        // EXDEV: another file system; else the errno of the read
        bool operator==(const TFolder&) const = default;
    };
    std::vector<TFolder> folders; // in the order walked

    bool Empty() const { return folders.empty(); }
    bool operator==(const TTreeLeftOut&) const = default;
};

// How far a walk has come, read on another thread (the window shows it while it waits);
// `cancelled` set there makes the walk stop before its next folder.
struct TTreeWalkProgress {
    std::atomic<std::size_t> folders{0};
    std::atomic<std::size_t> items{0};
    std::atomic<bool> cancelled{false};
};

// Called before the items of each folder, with its path relative to the folder the walk
// started in ("" for that folder itself, else "2024/05" without a slash at either end).
using FolderBegins = std::function<void(const std::string& folder)>;

// Reads the current directory and every folder below it as the file list lists them with its
// subfolders included: folder by folder, a folder's own items before those of its subfolders,
// the subfolders in the lists' name order (TNameKeys), each folder's items as SearchMask gives
// them for one folder (`mask` by its ";" parts, an item that two parts match twice, items a list
// of `fileType` passes over not at all, `searched` told whether the list admits each).
//
// The walk goes down into folders only: never through a link to a folder (so it cannot loop or
// leave the tree), never into another mount (as `find -xdev`, and a bind mount counts as one:
// so a server mounted inside the tree is never asked anything), into a hidden folder only when
// the list admits hidden items. Links are not looked through into the `network` mounts. A
// folder gone since its parent was read is passed over in silence. Runs on the calling thread.
// Answers the folders left out.
TTreeLeftOut WalkTree(std::string_view mask, TFileType fileType, const FolderBegins& folderBegins,
                      const SearchedItem& searched, const TNetworkMounts& network = {},
                      TTreeWalkProgress* progress = nullptr);

} // namespace nomilo
