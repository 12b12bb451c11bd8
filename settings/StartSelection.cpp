#include "settings/StartSelection.h"

#include "platform/files/FileAttributes.h"
#include "platform/files/SameFolder.h"

#include <algorithm>
#include <unordered_set>

namespace nomilo {

namespace {

struct FolderAndName {
    std::string folder;
    std::string name;
};

// The folder a path's text names and the name of the entry in it. Trailing "/" belong to no
// name; "/" is the root's own entry.
FolderAndName SplitPath(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    if (path.size() == 1)
        return {"/", "/"};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool Exists(const std::string& path) {
    return FileExists(path) || FolderExists(path);
}

} // namespace

TStartSelection GroupSelection(const std::vector<std::string>& paths) {
    TStartSelection selection;
    std::unordered_set<std::string> names, leftOut;
    auto leaveOut = [&](const std::string& path, TLeftOut reason) {
        if (leftOut.insert(path).second)
            selection.leftOut.push_back({path, reason});
    };
    for (const std::string& path : paths) {
        if (!Exists(path)) {
            leaveOut(path, TLeftOut::Missing);
            continue;
        }
        FolderAndName parts = SplitPath(path);
        if (selection.folder.empty())
            selection.folder = parts.folder;
        else if (!SameFolder(parts.folder, selection.folder)) {
            leaveOut(path, TLeftOut::OtherFolder);
            continue;
        }
        if (names.insert(parts.name).second)
            selection.entries.push_back({std::move(parts.name), path, FolderExists(path)});
    }
    return selection;
}

bool TStartSelection::HoldsFolders() const {
    return std::any_of(entries.begin(), entries.end(),
                       [](const TSelectedEntry& entry) { return entry.folder; });
}

TStartSelection UngroupedSelection(const std::vector<std::string>& paths) {
    TStartSelection selection;
    if (!paths.empty())
        selection.folder = SplitPath(paths.front()).folder;
    selection.ungrouped = paths;
    return selection;
}

} // namespace nomilo
