#pragma once

#include "listing/NameOrder.h"
#include "platform/files/FileAttributes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nomilo {

// Adds the visible subfolders of `parent` to `names`, in directory order: hidden and system
// entries, "." and ".." left out; a link to a folder counts as a folder. A folder that cannot be
// read has none. Links are never looked through into the `network` mounts: they count as
// folders.
void ReadSubfolders(const std::string& parent, TNameKeys& names,
                    const TNetworkMounts& network = {});

// The numbers of `names` (added in the order they were read) in the lists' order. On a volume
// that tells letter case apart every name stays. On one that ignores it (`caseSensitive` false)
// a name the locale finds equal to one read before it is dropped, so the first one stays; names
// that are not UTF-8 are kept apart by their bytes (ASCII letters folded), since decoding alone
// made them equal.
std::vector<std::uint32_t> FolderOrder(const TNameKeys& names, bool caseSensitive);

} // namespace nomilo
