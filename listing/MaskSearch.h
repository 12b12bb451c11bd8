#pragma once

#include "listing/FileType.h"
#include "platform/files/DirSearch.h"

#include <string_view>

namespace nomilo {

// Reads the current directory as the file list reads its folder: `mask` is split at every ";"
// into sub-masks, taken as they stand (an empty one finds nothing), and each is searched in
// turn, passing over the items a list of `fileType` never shows. `searched` gets every item
// the searches yield, in their order, with whether the list admits it; an item that two
// sub-masks match comes twice. Links are not looked through into the `network` mounts.
using SearchedItem =
    std::function<void(std::string_view name, std::uint32_t attributes, bool admitted)>;
void SearchMask(std::string_view mask, TFileType fileType, const SearchedItem& searched,
                const TNetworkMounts& network = {});

} // namespace nomilo
