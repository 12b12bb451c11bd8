#include "listing/TreeWalk.h"

#include "listing/NameOrder.h"
#include "platform/files/DirSearch.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace nomilo {

namespace {

// The parts of a mask, as SearchMask takes them.
std::vector<std::string_view> MaskParts(std::string_view mask) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t semicolon = mask.find(';');
        parts.push_back(mask.substr(0, semicolon));
        if (semicolon == std::string_view::npos)
            return parts;
        mask.remove_prefix(semicolon + 1);
    }
}

// Whether a folder that could not be opened is simply no longer there as a folder.
bool Gone(int error) {
    return error == ENOENT || error == ENOTDIR || error == ELOOP;
}

std::string Below(const std::string& folder, std::string_view name) {
    return folder.empty() ? std::string(name) : folder + '/' + std::string(name);
}

} // namespace

TTreeLeftOut WalkTree(std::string_view mask, TFileType fileType, const FolderBegins& folderBegins,
                      const SearchedItem& searched, const TNetworkMounts& network,
                      TTreeWalkProgress* progress) {
    const std::vector<std::string_view> parts = MaskParts(mask);
    const std::uint32_t excluded = fileType.ExcludedBySearch();
    const bool hiddenFolders = !(excluded & faHidden);
    const TTreeReader reader(network);
    TTreeLeftOut leftOut;
    // Folders still to read, the next on top: a folder's subfolders go on in reverse order, so
    // that they come off in order, each with all below it before the next.
    std::vector<std::string> pending{std::string()};
    std::vector<std::string> subfolders;
    while (!pending.empty()) {
        if (progress && progress->cancelled.load(std::memory_order_relaxed))
            break;
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        subfolders.clear();
        bool begun = false;
        std::size_t items = 0;
        const int error =
            reader.Read(folder, fileType.AttributeWord(),
                        [&](std::string_view name, std::uint32_t attributes, bool subfolder) {
                            if (subfolder && (hiddenFolders || !(attributes & faHidden)))
                                subfolders.emplace_back(name);
                            if (attributes & excluded)
                                return;
                            const bool admitted = fileType.Admits(attributes);
                            for (const std::string_view part : parts) {
                                if (!MatchesMask(name, part))
                                    continue;
                                if (!begun) {
                                    folderBegins(folder);
                                    begun = true;
                                }
                                searched(name, attributes, admitted);
                                ++items;
                            }
                        });
        // The folder the walk started in is read as the list of one folder reads it, which
        // tells nothing of a read that failed.
        if (error != 0 && !folder.empty() && !Gone(error))
            leftOut.folders.push_back({folder, error});
        if (progress) {
            progress->folders.fetch_add(1, std::memory_order_relaxed);
            progress->items.fetch_add(items, std::memory_order_relaxed);
        }
        if (subfolders.empty())
            continue;
        std::vector<std::uint32_t> order;
        if (subfolders.size() == 1) {
            order = {0};
        } else {
            TNameKeys names;
            for (const std::string& name : subfolders)
                names.Add(name);
            order = names.TakeOrder();
        }
        for (auto number = order.rbegin(); number != order.rend(); ++number)
            pending.push_back(Below(folder, subfolders[*number]));
    }
    return leftOut;
}

} // namespace nomilo
