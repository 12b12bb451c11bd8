#pragma once

#include "rename/FileEntries.h"

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace nomilo::test {

// The file list as the batch sees it, written as "name name* ...", "*" marking a selected entry.
struct FakeEntries : IFileEntries {
    FakeEntries() = default;
    explicit FakeEntries(const std::string& list) {
        std::istringstream words(list);
        for (std::string word; words >> word;) {
            const bool selected = word.ends_with('*');
            entries.push_back({word.substr(0, word.size() - selected), selected});
        }
    }
    int EntryCount() const override { return static_cast<int>(entries.size()); }
    std::string EntryText(int i) const override { return At(i).first; }
    bool IsEntrySelected(int i) const override { return At(i).second; }
    void SetEntrySelected(int i, bool selected) override { At(i).second = selected; }
    void ReplaceEntryText(int i, const std::string& text) override { At(i) = {text, false}; }
    std::pair<std::string, bool>& At(int i) const {
        return const_cast<FakeEntries*>(this)->entries.at(static_cast<std::size_t>(i));
    }
    std::string List() const {
        std::string list;
        for (const auto& [text, selected] : entries)
            list += (list.empty() ? "" : " ") + text + (selected ? "*" : "");
        return list;
    }
    std::vector<std::pair<std::string, bool>> entries;
};

} // namespace nomilo::test
