#include "browse/FolderNames.h"

#include "browse/LocaleText.h"
#include "platform/files/DirSearch.h"
#include "platform/files/FileAttributes.h"

namespace nomilo {

std::vector<std::string> ReadSubfolders(const std::string& parent) {
    std::vector<std::string> names;
    SearchFolder(parent, "*", faHidden | faSysFile | faVolumeID, faDirectory,
                 [&](std::string_view name, std::uint32_t attributes) {
                     if ((attributes & faDirectory) && name != "." && name != "..")
                         names.emplace_back(name);
                 });
    return names;
}

TSortedFolderNames::TSortedFolderNames() : names_(TLess{&collator_}) {
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
}

bool TSortedFolderNames::TLess::operator()(const TName& a, const TName& b) const {
    const int byLocale = collator->compare(a.text, b.text);
    if (byLocale != 0)
        return byLocale < 0;
    return CompareLostBytes(a.bytes, a.lossless, b.bytes, b.lossless, true) < 0;
}

bool TSortedFolderNames::Insert(std::string name) {
    QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    const QByteArray encoded = text.toUtf8();
    const bool lossless =
        std::string_view(encoded.constData(), static_cast<std::size_t>(encoded.size())) == name;
    return names_.insert(TName{std::move(name), std::move(text), lossless}).second;
}

std::vector<std::string> TSortedFolderNames::Names() const {
    std::vector<std::string> names;
    names.reserve(names_.size());
    for (const TName& name : names_)
        names.push_back(name.bytes);
    return names;
}

} // namespace nomilo
