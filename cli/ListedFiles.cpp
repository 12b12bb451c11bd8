#include "cli/ListedFiles.h"

#include "listing/MaskSearch.h"
#include "listing/NameOrder.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <unordered_map>

namespace nomilo {

TListedFiles TListedFiles::Read(std::string_view mask, const TNetworkMounts& network) {
    // The names go straight to their keys, which keep them in one buffer, and then once into
    // the list in their order. The locale's collator is opened only where there is something
    // to sort: a command on an empty folder ends before it would have loaded.
    std::optional<TNameKeys> keys;
    std::string first;
    std::size_t count = 0;
    SearchMask(
        mask, TFileType{ftNormal},
        [&](std::string_view name, std::uint32_t, bool admitted) {
            if (!admitted)
                return;
            if (count++ == 0) {
                first = name;
                return;
            }
            if (!keys) {
                keys.emplace();
                keys->Add(first);
            }
            keys->Add(name);
        },
        network);
    if (!keys)
        return TListedFiles(count ? std::vector<std::string>{first} : std::vector<std::string>());
    const std::vector<std::uint32_t> order = keys->TakeOrder();
    std::vector<std::string> names;
    names.reserve(order.size());
    for (const std::uint32_t number : order)
        names.emplace_back(keys->Name(number));
    return TListedFiles(std::move(names));
}

TListedFiles TListedFiles::ReadTree(std::string_view mask, TTreeLeftOut& leftOut,
                                    const TNetworkMounts& network) {
    // Each folder's names are one run of the keys, sorted by itself.
    TNameKeys keys;
    TFolderRuns folders;
    std::vector<std::uint32_t> runEnds;
    leftOut = WalkTree(
        mask, TFileType{ftNormal},
        [&](const std::string& folder) {
            const auto first = static_cast<std::uint32_t>(keys.Size());
            runEnds.push_back(first);
            folders.Begin(folder, first);
        },
        [&](std::string_view name, std::uint32_t, bool admitted) {
            if (admitted)
                keys.Add(name);
        },
        network);
    const std::vector<std::uint32_t> order = keys.TakeOrder(runEnds);
    std::vector<std::string> names;
    names.reserve(order.size());
    for (const std::uint32_t number : order)
        names.emplace_back(keys.Name(number));
    return TListedFiles(std::move(names), std::move(folders));
}

TListedFiles::TListedFiles(std::vector<std::string> names, TFolderRuns folders)
    : names_(std::move(names)), selected_(names_.size(), 0), folders_(std::move(folders)) {}

std::string TListedFiles::Path(std::size_t index) const {
    return PathInFolder(folders_.Of(static_cast<std::uint32_t>(index)).path, names_[index]);
}

std::vector<std::string> TListedFiles::Select(const std::vector<std::string>& paths) {
    std::unordered_multimap<std::string, std::size_t> entries;
    entries.reserve(names_.size());
    for (std::size_t i = 0; i < names_.size(); ++i)
        entries.emplace(Path(i), i);
    std::vector<std::string> unknown;
    for (const std::string& path : paths) {
        const auto [first, last] = entries.equal_range(path);
        bool found = first != last;
        for (auto entry = first; entry != last; ++entry)
            selected_[entry->second] = 1;
        // A folder stands for every entry below it.
        for (std::size_t run = 0; run < folders_.Count(); ++run) {
            const std::string_view folder = folders_.Path(run);
            if (!path.empty() && folder != path &&
                !(folder.starts_with(path) && folder[path.size()] == '/'))
                continue;
            const std::size_t end =
                run + 1 < folders_.Count() ? folders_.First(run + 1) : names_.size();
            std::fill(selected_.begin() + folders_.First(run), selected_.begin() + end, 1);
            found = found || end > folders_.First(run);
        }
        if (!found)
            unknown.push_back(path);
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

std::string_view TListedFiles::EntryTextView(int index, std::string&) const {
    return names_[Checked(index)];
}

bool TListedFiles::IsEntrySelected(int index) const {
    return selected_[Checked(index)];
}

TEntryFolder TListedFiles::EntryFolder(int index) const {
    return folders_.Of(static_cast<std::uint32_t>(Checked(index)));
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
