#include "browse/FolderNames.h"

#include "browse/LocaleText.h"
#include "browse/NameOrder.h"
#include "platform/files/DirSearch.h"

#include <algorithm>

namespace nomilo {

namespace {

// Two names the locale finds equal name the same folder on a volume that ignores case.
bool SameOnCaseBlindVolume(const std::string& a, const std::string& b) {
    return CompareLostBytes(a, IsLosslessUtf8(a), b, IsLosslessUtf8(b), true) == 0;
}

// Of names the locale finds equal, on a volume that ignores case: the first one read of each
// folder they name, in the lists' order.
std::vector<std::uint32_t> FirstOfEachFolder(std::vector<std::uint32_t> equals,
                                             const std::vector<std::string>& names,
                                             const TNameKeys& keys) {
    std::sort(equals.begin(), equals.end()); // the order read
    std::vector<std::uint32_t> kept;
    for (std::uint32_t name : equals)
        if (std::none_of(kept.begin(), kept.end(), [&](std::uint32_t other) {
                return SameOnCaseBlindVolume(names[name], names[other]);
            }))
            kept.push_back(name);
    std::sort(kept.begin(), kept.end(),
              [&](std::uint32_t a, std::uint32_t b) { return keys.Less(a, b); });
    return kept;
}

} // namespace

std::vector<std::string> ReadSubfolders(const std::string& parent, const TNetworkMounts& network) {
    std::vector<std::string> names;
    SearchFolder(
        parent, "*", faHidden | faSysFile | faVolumeID, faDirectory,
        [&](std::string_view name, std::uint32_t attributes) {
            if ((attributes & faDirectory) && name != "." && name != "..")
                names.emplace_back(name);
        },
        network);
    return names;
}

std::vector<std::string> SortFolderNames(std::vector<std::string> names, bool caseSensitive) {
    TNameKeys keys;
    for (const std::string& name : names)
        keys.Add(name);
    const std::vector<std::uint32_t> order = keys.Order();
    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    for (std::size_t first = 0; first < order.size();) {
        std::size_t end = first + 1;
        while (!caseSensitive && end < order.size() && keys.EqualByLocale(order[first], order[end]))
            ++end;
        if (end == first + 1) {
            sorted.push_back(std::move(names[order[first]]));
        } else {
            const auto from = order.begin();
            for (std::uint32_t name : FirstOfEachFolder({from + static_cast<std::ptrdiff_t>(first),
                                                         from + static_cast<std::ptrdiff_t>(end)},
                                                        names, keys))
                sorted.push_back(std::move(names[name]));
        }
        first = end;
    }
    return sorted;
}

} // namespace nomilo
