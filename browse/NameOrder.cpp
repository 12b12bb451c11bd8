#include "browse/NameOrder.h"

#include <QLocale>
#include <QString>
#include <algorithm>
#include <cstring>
#include <numeric>
#include <unicode/ucol.h>

namespace nomilo {

namespace {

// The collator the desktop's own comparison uses for `locale`, with letter case ignored: the
// secondary strength keeps accents apart and folds case, and canonically equal texts (a
// precomposed letter and its decomposed form) get the same key.
UCollator* OpenCollator(const QLocale& locale) {
    if (locale.language() == QLocale::C)
        return nullptr;
    const QByteArray name = locale.bcp47Name().replace(u'-', u'_').toLatin1();
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(name.constData(), &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return nullptr;
    }
    ucol_setStrength(collator, UCOL_SECONDARY);
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    return collator;
}

} // namespace

TNameKeys::TNameKeys() : collator_(OpenCollator(QLocale().collation())), buffer_(256) {}

TNameKeys::~TNameKeys() {
    if (collator_)
        ucol_close(collator_);
}

std::uint32_t TNameKeys::Add(std::string_view name) {
    const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    const std::size_t offset = keys_.size();
    if (collator_) {
        const auto source = reinterpret_cast<const UChar*>(text.utf16());
        const auto length = static_cast<std::int32_t>(text.size());
        auto capacity = static_cast<std::int32_t>(buffer_.size());
        std::int32_t size = ucol_getSortKey(collator_, source, length, buffer_.data(), capacity);
        if (size > capacity) {
            buffer_.resize(static_cast<std::size_t>(size));
            size = ucol_getSortKey(collator_, source, length, buffer_.data(), size);
        }
        // The key ends with its only 0 byte.
        keys_.append(reinterpret_cast<const char*>(buffer_.data()), static_cast<std::size_t>(size));
    } else {
        const QByteArray folded = text.toCaseFolded().toUtf8();
        keys_.append(folded.constData(), static_cast<std::size_t>(folded.size()));
        keys_.push_back('\0');
    }
    const auto collationLength = static_cast<std::uint32_t>(keys_.size() - offset);
    // Behind the 0 byte the name's own bytes decide between names the locale finds equal.
    keys_.append(name);
    spans_.push_back({offset, collationLength, static_cast<std::uint32_t>(keys_.size() - offset)});
    return static_cast<std::uint32_t>(spans_.size() - 1);
}

std::string_view TNameKeys::Key(std::uint32_t name) const {
    const TSpan& span = spans_[name];
    return std::string_view(keys_).substr(span.offset, span.length);
}

bool TNameKeys::Less(std::uint32_t a, std::uint32_t b) const {
    return Key(a) < Key(b);
}

bool TNameKeys::EqualByLocale(std::uint32_t a, std::uint32_t b) const {
    return Key(a).substr(0, spans_[a].collationLength) ==
           Key(b).substr(0, spans_[b].collationLength);
}

std::vector<std::uint32_t> TNameKeys::Order() const {
    std::vector<std::uint32_t> order(spans_.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [this](std::uint32_t a, std::uint32_t b) { return Less(a, b); });
    return order;
}

} // namespace nomilo
