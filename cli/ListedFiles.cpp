#include "cli/ListedFiles.h"

#include "browse/MaskSearch.h"
#include "browse/NameOrder.h"

#include <stdexcept>
#include <unordered_map>

namespace nomilo {

namespace {

// Moves `names[order[i]]` to place i for every i, in place: each cycle of the order is followed
// once, so no name is copied and no second list is made.
void PutInOrder(std::vector<std::string>& names, std::vector<std::uint32_t> order) {
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (order[start] == start)
            continue;
        std::string first = std::move(names[start]);
        std::size_t at = start;
        for (std::size_t from = order[at]; from != start; at = from, from = order[at]) {
            names[at] = std::move(names[from]);
            order[at] = static_cast<std::uint32_t>(at);
        }
        names[at] = std::move(first);
        order[at] = static_cast<std::uint32_t>(at);
    }
}

} // namespace

TListedFiles TListedFiles::Read(std::string_view mask, const TNetworkMounts& network) {
    std::vector<std::string> names;
    SearchMask(
        mask, TFileType{ftNormal},
        [&](std::string_view name, std::uint32_t, bool admitted) {
            if (admitted)
                names.emplace_back(name);
        },
        network);
    // The locale's collator is opened only where there is something to sort: a command on an
    // empty folder ends before it would have loaded.
    if (names.size() > 1) {
        TNameKeys keys;
        for (const std::string& name : names)
            keys.Add(name);
        PutInOrder(names, keys.TakeOrder());
    }
    return TListedFiles(std::move(names));
}

TListedFiles::TListedFiles(std::vector<std::string> names)
    : names_(std::move(names)), selected_(names_.size(), 0) {}

std::vector<std::string> TListedFiles::Select(const std::vector<std::string>& names) {
    std::unordered_multimap<std::string_view, std::size_t> entries;
    entries.reserve(names_.size());
    for (std::size_t i = 0; i < names_.size(); ++i)
        entries.emplace(names_[i], i);
    std::vector<std::string> unknown;
    for (const std::string& name : names) {
        const auto [first, last] = entries.equal_range(name);
        if (first == last)
            unknown.push_back(name);
        for (auto entry = first; entry != last; ++entry)
            selected_[entry->second] = 1;
    }
    return unknown;
}

std::size_t TListedFiles::Checked(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= names_.size())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return static_cast<std::size_t>(index);
}

int TListedFiles::EntryCount() const {
    return static_cast<int>(names_.size());
}

std::string TListedFiles::EntryText(int index) const {
    return names_[Checked(index)];
}

bool TListedFiles::IsEntrySelected(int index) const {
    return selected_[Checked(index)];
}

void TListedFiles::SetEntrySelected(int index, bool selected) {
    selected_[Checked(index)] = selected;
}

void TListedFiles::ReplaceEntryText(int index, const std::string& text) {
    const std::size_t i = Checked(index);
    names_[i] = text;
    selected_[i] = 0;
}

} // namespace nomilo
