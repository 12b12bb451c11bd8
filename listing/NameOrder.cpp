#include "listing/NameOrder.h"

#include <QLocale>
#include <QString>
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <unicode/ucol.h>

namespace nomilo {

namespace {

struct TCloseCollator {
    void operator()(UCollator* collator) const { ucol_close(collator); }
};

// The collator the desktop's own comparison uses for `locale`, with letter case ignored: the
// secondary strength keeps accents apart and folds case, and canonically equal texts (a
// precomposed letter and its decomposed form) get the same key. Opened once per locale and
// kept: opening one costs more than sorting a small folder.
const UCollator* CollatorFor(const QLocale& locale) {
    if (locale.language() == QLocale::C)
        return nullptr;
    thread_local std::map<QString, std::unique_ptr<UCollator, TCloseCollator>> opened;
    const QString name = locale.bcp47Name();
    auto found = opened.find(name);
    if (found == opened.end()) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UCollator, TCloseCollator> collator(
            ucol_open(QString(name).replace(u'-', u'_').toLatin1().constData(), &status));
        if (U_SUCCESS(status)) {
            ucol_setStrength(collator.get(), UCOL_SECONDARY);
            ucol_setAttribute(collator.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
        }
        if (U_FAILURE(status))
            collator.reset();
        found = opened.emplace(name, std::move(collator)).first;
    }
    return found->second.get();
}

bool IsAscii(std::string_view text) {
    unsigned char any = 0;
    for (const char c : text)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

unsigned char FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Where the next piece of a buffer that ends at `size` begins, as a 32-bit offset.
std::uint32_t Offset(qsizetype size) {
    if (size > std::numeric_limits<std::uint32_t>::max())
        throw std::bad_alloc();
    return static_cast<std::uint32_t>(size);
}

} // namespace

// A name's key: its bytes, read with A-Z folded when the name is its own key. No key holds a 0
// byte, so a key that is the beginning of another comes first, as it would with a 0 at its end.
struct TNameKeys::TKey {
    const char* bytes;
    std::uint32_t size;
    bool foldAscii;

    unsigned char operator[](std::size_t i) const {
        const auto c = static_cast<unsigned char>(bytes[i]);
        return foldAscii ? FoldAscii(c) : c;
    }
    // Eight bytes from `depth` on as one number that compares as they do (0 past the key's end).
    std::uint64_t Bytes(std::uint32_t depth) const {
        std::uint64_t bytes = 0;
        for (std::uint32_t i = depth; i < depth + 8; ++i)
            bytes = bytes << 8 | (i < size ? (*this)[i] : 0u);
        return bytes;
    }
};

// Sorting moves these, not bare numbers: each comparison is settled by eight bytes of the keys
// held here, instead of by two keys looked up far apart in memory.
struct TNameKeys::TRanked {
    std::uint32_t high; // key bytes depth to depth + 3
    std::uint32_t low;  // key bytes depth + 4 to depth + 7
    std::uint32_t name;

    void Hold(std::uint64_t bytes) {
        high = static_cast<std::uint32_t>(bytes >> 32);
        low = static_cast<std::uint32_t>(bytes);
    }
    bool SameBytes(const TRanked& other) const { return high == other.high && low == other.low; }
    bool operator<(const TRanked& other) const {
        return high != other.high ? high < other.high : low < other.low;
    }
};

TNameKeys::TNameKeys() : collator_(CollatorFor(QLocale().collation())) {}

TNameKeys::~TNameKeys() = default;

void TNameKeys::AppendKey(std::string_view name) {
    const qsizetype start = keys_.size();
    if (!collator_) {
        // The C locale: the name case-folded, by code point. An ASCII name is its own key.
        if (!IsAscii(name))
            keys_.append(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
                             .toCaseFolded()
                             .toUtf8());
        return;
    }
    // The collator reads UTF-16; an ASCII name is widened as it stands.
    QString decoded;
    std::array<UChar, 256> widened;
    const UChar* text = widened.data();
    auto length = static_cast<std::int32_t>(name.size());
    if (IsAscii(name) && name.size() <= widened.size()) {
        std::copy(name.begin(), name.end(), widened.begin());
    } else {
        decoded = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        text = reinterpret_cast<const UChar*>(decoded.utf16());
        length = static_cast<std::int32_t>(decoded.size());
    }
    // The key is written straight into the buffer, without the 0 byte that ends it.
    std::int32_t room = 2 * length + 16;
    for (;;) {
        keys_.resize(start + room);
        const std::int32_t size = ucol_getSortKey(
            collator_, text, length, reinterpret_cast<std::uint8_t*>(keys_.data() + start), room);
        if (size <= room) {
            keys_.resize(start + std::max(size - 1, 0));
            return;
        }
        room = size;
    }
}

std::uint32_t TNameKeys::Add(std::string_view name) {
    const std::uint32_t number = Offset(nameEnds_.size());
    const qsizetype start = names_.size();
    try {
        names_.resize(start + static_cast<qsizetype>(name.size()));
        std::memcpy(names_.data() + start, name.data(), name.size());
        nameEnds_.push_back(Offset(names_.size()));
        AppendKey(name);
        keyEnds_.push_back(Offset(keys_.size()));
    } catch (...) {
        // The name goes again: each name has its key.
        names_.truncate(start);
        nameEnds_.resize(number);
        keys_.truncate(number ? keyEnds_[number - 1] : 0);
        throw;
    }
    return number;
}

std::string_view TNameKeys::Name(std::uint32_t name) const {
    const TTextSpan span = NameSpan(name);
    return std::string_view(names_.constData() + span.offset, span.length);
}

TNameKeys::TKey TNameKeys::Key(std::uint32_t name) const {
    const std::uint32_t begin = name ? keyEnds_[name - 1] : 0;
    if (keyEnds_[name] == begin && !collator_) {
        const TTextSpan span = NameSpan(name);
        return {names_.constData() + span.offset, span.length, true};
    }
    return {keys_.constData() + begin, keyEnds_[name] - begin, false};
}

int TNameKeys::CompareKeys(std::uint32_t a, std::uint32_t b) const {
    const TKey x = Key(a), y = Key(b);
    const std::uint32_t common = std::min(x.size, y.size);
    if (!x.foldAscii && !y.foldAscii) {
        if (const int byBytes = std::memcmp(x.bytes, y.bytes, common))
            return byBytes;
    } else {
        for (std::uint32_t i = 0; i < common; ++i)
            if (x[i] != y[i])
                return x[i] < y[i] ? -1 : 1;
    }
    return x.size == y.size ? 0 : x.size < y.size ? -1 : 1;
}

int TNameKeys::Compare(std::uint32_t a, std::uint32_t b) const {
    // The name's own bytes decide between names the locale finds equal.
    if (const int byKey = CompareKeys(a, b))
        return byKey;
    return Name(a).compare(Name(b));
}

bool TNameKeys::Less(std::uint32_t a, std::uint32_t b) const {
    return Compare(a, b) < 0;
}

bool TNameKeys::EqualByLocale(std::uint32_t a, std::uint32_t b) const {
    return CompareKeys(a, b) == 0;
}

void TNameKeys::SortRanked(TRanked* first, TRanked* last, std::uint32_t depth) const {
    for (TRanked* ranked = first; ranked != last; ++ranked)
        ranked->Hold(Key(ranked->name).Bytes(depth));
    std::sort(first, last);
    for (TRanked* run = first; run != last;) {
        TRanked* end = run + 1;
        while (end != last && end->SameBytes(*run))
            ++end;
        if (end - run > 1) {
            // Names whose keys go on are sorted by their next bytes; names whose keys all ended
            // here have equal keys, and their own bytes decide.
            const bool goOn = std::any_of(
                run, end, [&](const TRanked& ranked) { return Key(ranked.name).size > depth + 8; });
            if (goOn)
                SortRanked(run, end, depth + 8);
            else
                std::sort(run, end, [this](const TRanked& a, const TRanked& b) {
                    return Name(a.name) < Name(b.name);
                });
        }
        run = end;
    }
}

std::vector<TNameKeys::TRanked> TNameKeys::Ranked() const {
    std::vector<TRanked> ranked(Size());
    for (std::uint32_t name = 0; name < ranked.size(); ++name)
        ranked[name].name = name;
    SortRanked(ranked.data(), ranked.data() + ranked.size(), 0);
    return ranked;
}

std::vector<std::uint32_t> TNameKeys::Order() const {
    const std::vector<TRanked> ranked = Ranked();
    std::vector<std::uint32_t> order(ranked.size());
    for (std::size_t i = 0; i < ranked.size(); ++i)
        order[i] = ranked[i].name;
    return order;
}

std::vector<std::uint32_t> TNameKeys::TakeRanked(std::vector<TRanked> ranked) {
    DropKeys();
    std::vector<std::uint32_t> order(ranked.size());
    for (std::size_t i = 0; i < ranked.size(); ++i)
        order[i] = ranked[i].name;
    return order;
}

std::vector<std::uint32_t> TNameKeys::TakeOrder() {
    return TakeRanked(Ranked());
}

std::vector<std::uint32_t> TNameKeys::TakeOrder(const std::vector<std::uint32_t>& runEnds) {
    std::vector<TRanked> ranked(Size());
    for (std::uint32_t name = 0; name < ranked.size(); ++name)
        ranked[name].name = name;
    std::size_t begin = 0;
    const auto sortRun = [&](std::size_t end) {
        end = std::clamp(end, begin, ranked.size());
        SortRanked(ranked.data() + begin, ranked.data() + end, 0);
        begin = end;
    };
    for (const std::uint32_t end : runEnds)
        sortRun(end);
    sortRun(ranked.size());
    return TakeRanked(std::move(ranked));
}

void TNameKeys::DropKeys() {
    keys_ = QByteArray();
    keyEnds_ = QList<std::uint32_t>();
}

QByteArray TNameKeys::TakeNames() {
    return std::exchange(names_, QByteArray());
}

} // namespace nomilo
