#include "browse/LocaleText.h"

#include <QCollator>
#include <QString>

namespace nomilo {

namespace {

QString Decode(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::string LowerCaseByLocale(std::string_view text) {
    return Decode(text).toLower().toUtf8().toStdString();
}

int CompareByLocale(std::string_view a, std::string_view b, bool ignoreCase) {
    QCollator collator;
    collator.setCaseSensitivity(ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive);
    return collator.compare(Decode(a), Decode(b));
}

} // namespace nomilo
