#include "facts/FolderFacts.h"

#include "platform/files/FileContent.h"

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
    caseBlind_ = caseBlind;
    SetNamesOnDisk(names);
}

void TEntryFacts::SetNamesOnDisk(const std::vector<std::string>& names) {
    names_.clear();
    nameStore_.clear();
    nameStore_.reserve(names.size());
    for (const std::string& name : names)
        nameStore_.push_back(caseBlind_ ? Folded(name) : name);
    names_.reserve(nameStore_.size());
    for (const std::string& name : nameStore_)
        names_.insert(name);
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

bool TEntryFacts::NameOnDisk(std::string_view name) const {
    return names_.count(caseBlind_ ? std::string_view(Folded(name)) : name) != 0;
}

} // namespace nomilo
