#pragma once

#include <QCollator>
#include <QString>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// The visible subfolders of `parent`, in directory order: hidden and system entries, "." and
// ".." left out; a link to a folder counts as a folder. A folder that cannot be read has none.
std::vector<std::string> ReadSubfolders(const std::string& parent);

// Folder names kept sorted by the user's locale, letter case ignored. A name goes in by binary
// search; a name that compares equal to one already in is dropped, so the first one stays.
// Names that are not valid UTF-8 decode to replacement characters; where that is all that makes
// two names equal, their bytes decide instead (ASCII letters folded), so neither is lost.
class TSortedFolderNames {
public:
    TSortedFolderNames();
    TSortedFolderNames(const TSortedFolderNames&) = delete;
    TSortedFolderNames& operator=(const TSortedFolderNames&) = delete;

    // Adds `name`; false when an equal name is already in.
    bool Insert(std::string name);
    std::size_t Size() const { return names_.size(); }
    // The names in order.
    std::vector<std::string> Names() const;

private:
    struct TName {
        std::string bytes;
        QString text;  // decoded once; compared many times
        bool lossless; // the bytes are valid UTF-8
    };
    struct TLess {
        const QCollator* collator;
        bool operator()(const TName& a, const TName& b) const;
    };

    QCollator collator_;
    std::set<TName, TLess> names_;
};

} // namespace nomilo
