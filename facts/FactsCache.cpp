#include "facts/FactsCache.h"

#include <algorithm>
#include <cstring>

namespace nomilo {

namespace {

constexpr std::size_t kBlock = 64 * 1024;
// The numbers of a file's facts: three times and four whole numbers.
constexpr std::size_t kValueBytes = 3 * sizeof(std::int64_t) + 4 * sizeof(std::uint32_t);

std::uint32_t FoldDevice(std::uint64_t device) {
    return static_cast<std::uint32_t>(device ^ (device >> 32) * 0x9E3779B1u);
}

std::uint64_t HashOf(std::uint32_t device, std::uint64_t inode) {
    std::uint64_t h = (inode ^ (std::uint64_t{device} << 40)) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}

} // namespace

TFactsCache::TFactsCache() : cells_(1024, 0) {}
TFactsCache::~TFactsCache() = default;

std::uint32_t* TFactsCache::Cell(std::uint32_t device, std::uint64_t inode) const {
    const std::size_t mask = cells_.size() - 1;
    for (std::size_t cell = HashOf(device, inode) & mask;; cell = (cell + 1) & mask) {
        std::uint32_t& entry = cells_[cell];
        if (entry == 0)
            return &entry;
        const TRecord& record = records_[entry - 1];
        if (record.inode == inode && record.device == device)
            return &entry;
    }
}

void TFactsCache::Grow() {
    std::vector<std::uint32_t> old(cells_.size() * 2, 0);
    old.swap(cells_);
    for (const std::uint32_t entry : old)
        if (entry != 0) {
            const TRecord& record = records_[entry - 1];
            *Cell(record.device, record.inode) = entry;
        }
}

const TFileFacts* TFactsCache::Find(const TFileStatus& status, TFactNeeds needs) const {
    if (status.error != 0)
        return nullptr;
    const std::uint32_t entry = *Cell(FoldDevice(status.device), status.inode);
    if (entry == 0)
        return nullptr;
    const TRecord& record = records_[entry - 1];
    if (record.size != status.size || record.changed != status.changed ||
        (record.needs & needs) != needs)
        return nullptr;
    return &record.facts;
}

const char* TFactsCache::KeepTexts(const TReadFacts& read) {
    std::size_t size = 0;
    for (const std::string& text : read.texts)
        size += text.size() + 1;
    if (size == read.texts.size())
        return nullptr; // every text empty
    if (blocks_.empty() || blockUsed_ + size > kBlock) {
        blocks_.push_back(std::make_unique<char[]>(std::max(kBlock, size)));
        blockUsed_ = 0;
    }
    char* at = blocks_.back().get() + blockUsed_;
    char* out = at;
    for (const std::string& text : read.texts) {
        std::memcpy(out, text.c_str(), text.size() + 1);
        out += text.size() + 1;
    }
    blockUsed_ += size;
    textBytes_ += size;
    return at;
}

const TFileFacts* TFactsCache::Keep(const TFileStatus& key, const TReadFacts& read,
                                    TFactNeeds needs) {
    if ((records_.size() + 1) * 2 > cells_.size())
        Grow();
    // Devices are kept folded: the index hashes the folded number throughout.
    const std::uint32_t device = FoldDevice(key.device);
    std::uint32_t* cell = Cell(device, key.inode);
    TRecord& record = records_.emplace_back();
    record.facts = read.facts;
    record.facts.texts = KeepTexts(read);
    record.inode = key.inode;
    record.size = key.size;
    record.changed = key.changed;
    record.device = device;
    record.needs = needs;
    // A file that could not be stat'ed at all is kept, but never found.
    if (key.error == 0)
        *cell = static_cast<std::uint32_t>(records_.size());
    return &record.facts;
}

std::size_t TFactsCache::OverheadBytes() const {
    return records_.size() * (sizeof(TRecord) - kValueBytes) + cells_.size() * sizeof(std::uint32_t);
}

std::size_t TFactsCache::ValueBytes() const {
    return records_.size() * kValueBytes + textBytes_;
}

} // namespace nomilo
