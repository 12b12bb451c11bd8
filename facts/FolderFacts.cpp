#include "facts/FolderFacts.h"

#include "platform/files/FileContent.h"

#include <algorithm>

namespace nomilo {

namespace {

// What the entry's own status tells, for an entry whose data is not to be read.
TReadFacts StatusFacts(const TFileStatus& status, TFactNeeds needs) {
    TReadFacts read;
    read.status = status;
    AddTimes(read.facts, status);
    if (needs & (NeedsImage | NeedsAudio))
        read.facts.present |= TFileFacts::ContentUnreadable;
    return read;
}

std::string Folded(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return folded;
}

} // namespace

void ReadFolderFacts(const std::string& folder, const std::vector<std::string_view>& names,
                     TFactNeeds needs, TFactsCache& cache, TFactsReader& reader,
                     const std::function<void(std::size_t, const TFileFacts*)>& done,
                     const std::function<bool()>& stop) {
    const bool content = (needs & (NeedsImage | NeedsAudio)) != 0;
    const int folderFile = OpenFolder(folder);
    std::vector<TFactsReader::TRequest> requests;
    std::vector<std::size_t> requested;    // the index of each request
    std::vector<TFileStatus> entryStatus; // the entry's own status, by request
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (stop && i % 256 == 0 && stop())
            break;
        const std::string name(names[i]);
        const TFileStatus status = StatusAt(folderFile, name.c_str(), false);
        if (content && (status.Regular() || status.Link())) {
            if (const TFileFacts* kept = status.Regular() ? cache.Find(status, needs) : nullptr) {
                done(i, kept);
                continue;
            }
            requests.push_back(
                {names[i], static_cast<TFactNeeds>(needs | (status.Regular() ? SeenRegular : 0))});
            requested.push_back(i);
            entryStatus.push_back(status);
            continue;
        }
        const TFileFacts* kept = cache.Find(status, needs);
        done(i, kept ? kept : cache.Keep(status, StatusFacts(status, needs), needs));
    }
    CloseFile(folderFile);
    reader.Read(
        folder, requests,
        [&](std::size_t r, TReadFacts&& read) {
            if (read.status.error != 0) {
                // Unreadable: kept under the entry's own status, so that a file that made the
                // reader hang is not read again until it changes.
                const TFileStatus& own = entryStatus[r];
                TReadFacts facts = StatusFacts(own, needs);
                facts.facts.present |= TFileFacts::ContentUnreadable;
                done(requested[r], cache.Keep(own, facts, needs));
                return;
            }
            done(requested[r], cache.Keep(read.status, read, needs));
        },
        stop);
}

void TEntryFacts::Reset(std::size_t entries, std::string folderName,
                        const std::vector<std::string>& names, bool caseBlind) {
    facts_.assign(entries, nullptr);
    missing_ = entries;
    folderName_ = std::move(folderName);
    firstEntries_.clear();
    folderNames_.clear();
    caseBlind_ = caseBlind;
    SetNamesOnDisk(names);
}

void TEntryFacts::SetNamesOnDisk(const std::vector<std::string>& names) {
    SetNamesOnDisk(std::vector<std::vector<std::string>>{names});
}

void TEntryFacts::SetFolders(std::vector<std::uint32_t> firstEntries,
                             std::vector<std::string> names) {
    firstEntries_ = std::move(firstEntries);
    folderNames_ = std::move(names);
}

void TEntryFacts::SetNamesOnDisk(const std::vector<std::vector<std::string>>& namesByFolder) {
    names_.clear();
    nameStore_.clear();
    std::size_t count = 0;
    for (const std::vector<std::string>& names : namesByFolder)
        count += names.size();
    nameStore_.reserve(count);
    for (std::uint32_t folder = 0; folder < namesByFolder.size(); ++folder)
        for (const std::string& name : namesByFolder[folder])
            nameStore_.push_back(Key(folder, name));
    names_.reserve(nameStore_.size());
    for (const std::string& name : nameStore_)
        names_.insert(name);
}

std::string TEntryFacts::Key(std::uint32_t folder, std::string_view name) const {
    std::string key(reinterpret_cast<const char*>(&folder), sizeof folder);
    key.append(caseBlind_ ? Folded(name) : std::string(name));
    return key;
}

std::uint32_t TEntryFacts::FolderOf(int entry) const {
    const auto after = std::upper_bound(firstEntries_.begin(), firstEntries_.end(),
                                        static_cast<std::uint32_t>(std::max(entry, 0)));
    return after == firstEntries_.begin()
               ? 0
               : static_cast<std::uint32_t>(after - firstEntries_.begin() - 1);
}

std::string_view TEntryFacts::FolderName(int entry) const {
    if (folderNames_.empty())
        return folderName_;
    return folderNames_[std::min<std::size_t>(FolderOf(entry), folderNames_.size() - 1)];
}

void TEntryFacts::Set(std::size_t entry, const TFileFacts* facts) {
    if (entry >= facts_.size())
        return;
    missing_ -= facts_[entry] == nullptr && facts != nullptr;
    missing_ += facts_[entry] != nullptr && facts == nullptr;
    facts_[entry] = facts;
}

const TFileFacts* TEntryFacts::FactsOf(int entry) const {
    return entry >= 0 && static_cast<std::size_t>(entry) < facts_.size()
               ? facts_[static_cast<std::size_t>(entry)]
               : nullptr;
}

bool TEntryFacts::NameOnDisk(int entry, std::string_view name) const {
    return names_.count(Key(FolderOf(entry), name)) != 0;
}

} // namespace nomilo
