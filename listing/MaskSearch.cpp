#include "listing/MaskSearch.h"

namespace nomilo {

void SearchMask(std::string_view mask, TFileType fileType, const SearchedItem& searched,
                const TNetworkMounts& network) {
    const std::uint32_t wanted = fileType.AttributeWord();
    const auto found = [&](std::string_view name, std::uint32_t attributes) {
        searched(name, attributes, fileType.Admits(attributes));
    };
    std::string_view rest = mask;
    for (;;) {
        const std::size_t semicolon = rest.find(';');
        SearchCurrentDir(rest.substr(0, semicolon), fileType.ExcludedBySearch(), wanted, found,
                         network);
        if (semicolon == std::string_view::npos)
            return;
        rest.remove_prefix(semicolon + 1);
    }
}

} // namespace nomilo
