#pragma once

#include <initializer_list>
#include <set>
#include <string>

namespace nomilo::test {

// A fresh folder under $TMPDIR (or /tmp) for one test, removed with everything in it when the
// object goes. The process's current directory at construction is restored then too.
class TempFolder {
public:
    // `entries` are made at once: a name ending in "/" is a folder, any other an empty file;
    // the folders above an entry are made as needed.
    explicit TempFolder(std::initializer_list<std::string> entries = {});
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Creates a file `name` (a path below the folder) holding `content`.
    void AddFile(const std::string& name, const std::string& content = "") const;
    void AddFolder(const std::string& name) const;
    // The names in the folder (not below it), without "." and "..".
    std::set<std::string> Names() const;
    // The content of file `name`.
    std::string Read(const std::string& name) const;

private:
    std::string path_;
    std::string savedCurrentDir_;
};

} // namespace nomilo::test
