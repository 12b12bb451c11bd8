#pragma once

#include "listing/TextSpan.h"

#include <QByteArray>
#include <QList>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct UCollator;

namespace nomilo {

// The order in which both lists show names: by the user's locale with letter case ignored (the
// C locale: by code point, case folded); names the locale finds equal, such as "Photos" and
// "photos", by their bytes, so that no two different names are ever in doubt.
//
// The names are kept one after the other in one buffer, and each gets one collation key, worked
// out once as it is added, in a second buffer (in the C locale an ASCII name is its own key, read
// with A-Z folded, and takes no room there). Sorting compares keys byte for byte, eight bytes at
// a time held beside each name's number: first by their first eight bytes, then the names that
// share them by the next eight, and so on. Both buffers grow in place where the system can, with
// no copy of all names or keys at once. Names are bytes taken as UTF-8 (bytes that are not stand
// for U+FFFD).
class TNameKeys {
public:
    // With the user's locale as it is now (QLocale()).
    TNameKeys();
    ~TNameKeys();
    TNameKeys(const TNameKeys&) = delete;
    TNameKeys& operator=(const TNameKeys&) = delete;

    // Adds `name` and its key; answers the name's number (0 for the first one added, and so on).
    std::uint32_t Add(std::string_view name);
    std::size_t Size() const { return static_cast<std::size_t>(nameEnds_.size()); }
    std::string_view Name(std::uint32_t name) const;

    // Whether name number `a` comes before name number `b`.
    bool Less(std::uint32_t a, std::uint32_t b) const;
    // Whether the locale finds the two names equal, whatever their bytes.
    bool EqualByLocale(std::uint32_t a, std::uint32_t b) const;
    // The numbers of all names added, in order.
    std::vector<std::uint32_t> Order() const;
    // The same, letting go of the keys as soon as they are sorted: after it only the names are
    // left (Less, EqualByLocale and Order no longer work).
    std::vector<std::uint32_t> TakeOrder();
    // The same, with each run of names sorted by itself and the runs in the order added: run r
    // holds the names numbered from where run r - 1 ends (0 for the first) to before
    // `runEnds[r]`, which never go down. Names after the last end are one more run.
    std::vector<std::uint32_t> TakeOrder(const std::vector<std::uint32_t>& runEnds);

    // All names, one after the other in the order added, where NameSpan tells; this leaves no
    // names behind, only their spans.
    QByteArray TakeNames();
    TTextSpan NameSpan(std::uint32_t name) const {
        const std::uint32_t begin = name ? nameEnds_[name - 1] : 0;
        return {begin, nameEnds_[name] - begin};
    }

private:
    struct TKey;
    struct TRanked;
    TKey Key(std::uint32_t name) const;
    int Compare(std::uint32_t a, std::uint32_t b) const;
    int CompareKeys(std::uint32_t a, std::uint32_t b) const;
    std::vector<TRanked> Ranked() const;
    std::vector<std::uint32_t> TakeRanked(std::vector<TRanked> ranked);
    // Sorts names whose keys share their first `depth` bytes, by the bytes that follow.
    void SortRanked(TRanked* first, TRanked* last, std::uint32_t depth) const;
    void AppendKey(std::string_view name);
    void DropKeys();

    const UCollator* collator_ = nullptr; // none in the C locale
    QByteArray names_;                    // every name, one after the other
    QList<std::uint32_t> nameEnds_;       // where each name ends in names_
    QByteArray keys_;                     // every key that is not its own name, one after another
    QList<std::uint32_t> keyEnds_;        // where each key ends in keys_
};

} // namespace nomilo
