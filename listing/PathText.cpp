#include "listing/PathText.h"

#include <algorithm>

namespace nomilo {

namespace {

constexpr std::string_view kElided = ".../";

} // namespace

int SeparatorCount(std::string_view path) {
    // UTF-8 continuation bytes never equal "/", so every "/" byte is a separator.
    return static_cast<int>(std::count(path.begin(), path.end(), kPathSeparator));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.ends_with(kPathSeparator))
        path.push_back(kPathSeparator);
    path.append(name);
    return path;
}

std::string_view DrivePart(std::string_view path) {
    return path.substr(0, 0);
}

std::string_view LastComponent(std::string_view path) {
    const std::size_t separator = path.rfind(kPathSeparator);
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

void DropFirstFolder(std::string& s) {
    if (s.size() == 1 && s.front() == kPathSeparator) {
        s.clear();
        return;
    }
    const bool rooted = s.starts_with(kPathSeparator);
    if (rooted)
        s.erase(0, 1);
    // Only a ".../" left by an earlier step is taken away here: a folder whose name begins
    // with "." (".config") is a folder like any other.
    if (s.starts_with(kElided))
        s.erase(0, kElided.size());
    const std::size_t separator = s.find(kPathSeparator);
    if (separator != std::string::npos)
        s = std::string(kElided) + s.substr(separator + 1);
    else
        s.clear();
    if (rooted)
        s.insert(s.begin(), kPathSeparator);
}

std::string FitPathToWidth(std::string_view path, const TTextWidth& textWidth, int width) {
    std::string result(path);
    const std::size_t separator = path.rfind(kPathSeparator);
    const std::size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
    std::string folder(path.substr(0, nameStart));
    const std::string name(path.substr(nameStart));
    std::string drive(DrivePart(folder));
    folder.erase(0, drive.size());

    const std::string rootedElided = std::string(1, kPathSeparator) + std::string(kElided);
    while ((!folder.empty() || !drive.empty()) && textWidth(result) > width) {
        if (folder == rootedElided) {
            drive.clear();
            folder = kElided;
        } else if (folder.empty()) {
            drive.clear();
        } else {
            DropFirstFolder(folder);
        }
        result = drive + folder + name;
    }
    return result;
}

} // namespace nomilo
