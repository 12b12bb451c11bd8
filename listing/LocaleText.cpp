#include "listing/LocaleText.h"

#include <QByteArray>
#include <QCollator>
#include <QString>
#include <algorithm>

namespace nomilo {

namespace {

QString Decode(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

unsigned char FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 0x20) : c;
}

int CompareBytes(std::string_view a, std::string_view b, bool foldAscii) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (foldAscii) {
            ca = FoldAscii(ca);
            cb = FoldAscii(cb);
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

} // namespace

std::string LowerCaseByLocale(std::string_view text) {
    return Decode(text).toLower().toUtf8().toStdString();
}

std::string UpperCaseByLocale(std::string_view text) {
    return Decode(text).toUpper().toUtf8().toStdString();
}

int CompareByLocale(std::string_view a, std::string_view b, bool ignoreCase) {
    QCollator collator;
    collator.setCaseSensitivity(ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive);
    return collator.compare(Decode(a), Decode(b));
}

bool IsLosslessUtf8(std::string_view text) {
    const QByteArray encoded = Decode(text).toUtf8();
    return std::string_view(encoded.constData(), static_cast<std::size_t>(encoded.size())) == text;
}

int CompareLostBytes(std::string_view a, bool aLossless, std::string_view b, bool bLossless,
                     bool ignoreCase) {
    if (aLossless && bLossless)
        return 0;
    if (aLossless != bLossless)
        return aLossless ? -1 : 1;
    return CompareBytes(a, b, ignoreCase);
}

int CompareNamesByLocale(std::string_view a, std::string_view b, bool ignoreCase) {
    const int byLocale = CompareByLocale(a, b, ignoreCase);
    if (byLocale != 0 || a == b)
        return byLocale;
    return CompareLostBytes(a, IsLosslessUtf8(a), b, IsLosslessUtf8(b), ignoreCase);
}

} // namespace nomilo
