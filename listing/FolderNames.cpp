#include "listing/FolderNames.h"

#include "listing/LocaleText.h"
#include "listing/NameOrder.h"
#include "platform/files/DirSearch.h"

#include <algorithm>

namespace nomilo {

namespace {

// Two names the locale finds equal name the same folder on a volume that ignores case.
bool SameOnCaseBlindVolume(std::string_view a, std::string_view b) {
    return CompareLostBytes(a, IsLosslessUtf8(a), b, IsLosslessUtf8(b), true) == 0;
}

// Of names the locale finds equal, on a volume that ignores case: the first one read of each
// folder they name, in the lists' order.
std::vector<std::uint32_t> FirstOfEachFolder(std::vector<std::uint32_t> equals,
                                             const TNameKeys& names) {
    std::sort(equals.begin(), equals.end()); // the order read
    std::vector<std::uint32_t> kept;
    for (std::uint32_t name : equals)
        if (std::none_of(kept.begin(), kept.end(), [&](std::uint32_t other) {
                return SameOnCaseBlindVolume(names.Name(name), names.Name(other));
            }))
            kept.push_back(name);
    std::sort(kept.begin(), kept.end(),
              [&](std::uint32_t a, std::uint32_t b) { return names.Less(a, b); });
    return kept;
}

} // namespace

void ReadSubfolders(const std::string& parent, TNameKeys& names, const TNetworkMounts& network) {
    SearchFolder(
        parent, "*", faHidden | faSysFile | faVolumeID, faDirectory,
        [&](std::string_view name, std::uint32_t attributes) {
            if ((attributes & faDirectory) && name != "." && name != "..")
                names.Add(name);
        },
        network);
}

std::vector<std::uint32_t> FolderOrder(const TNameKeys& names, bool caseSensitive) {
    std::vector<std::uint32_t> order = names.Order();
    if (caseSensitive)
        return order;
    std::size_t kept = 0;
    for (std::size_t first = 0; first < order.size();) {
        std::size_t end = first + 1;
        while (end < order.size() && names.EqualByLocale(order[first], order[end]))
            ++end;
        if (end == first + 1) {
            order[kept++] = order[first];
        } else {
            const auto from = order.begin();
            for (std::uint32_t name : FirstOfEachFolder({from + static_cast<std::ptrdiff_t>(first),
                                                         from + static_cast<std::ptrdiff_t>(end)},
                                                        names))
                order[kept++] = name;
        }
        first = end;
    }
    order.resize(kept);
    return order;
}

} // namespace nomilo
