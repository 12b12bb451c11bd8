#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace nomilo::test {

namespace {

// Folders a test made unreadable or unwritable must become removable again.
void MakeRemovable(const fs::path& folder) {
    std::error_code ignored;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored))
            MakeRemovable(entry.path());
}

} // namespace

TempFolder::TempFolder(std::initializer_list<std::string> entries) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/nomilo-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = fs::canonical(pattern).string();
    savedCurrentDir_ = fs::current_path().string();
    for (const std::string& entry : entries) {
        fs::create_directories(fs::path(*this / entry).parent_path());
        if (!entry.ends_with('/'))
            AddFile(entry);
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::current_path(savedCurrentDir_, ignored);
    MakeRemovable(path_);
    fs::remove_all(path_, ignored);
}

void TempFolder::AddFile(const std::string& name, const std::string& content) const {
    std::ofstream out(*this / name, std::ios::binary);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + name);
}

void TempFolder::AddFolder(const std::string& name) const {
    fs::create_directories(*this / name);
}

std::set<std::string> TempFolder::Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_))
        names.insert(entry.path().filename().string());
    return names;
}

std::string TempFolder::Read(const std::string& name) const {
    std::ifstream in(*this / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace nomilo::test
