#include "listing/TargetPath.h"

#include "listing/PathText.h"
#include "platform/files/CurrentDir.h"
#include "platform/files/EInOutError.h"
#include "platform/files/FileAttributes.h"

namespace nomilo {

namespace {

bool IsBracketed(const std::string& text) {
    return text.size() >= 2 && text.front() == '[' && text.back() == ']';
}

} // namespace

TTargetParts SplitTargetPath(const std::string& text, const std::vector<TDrive>& drives) {
    // A current directory that has been removed cannot be told; an absolute target still
    // resolves without it, and there is nothing to change back to.
    std::string saved;
    try {
        saved = GetCurrentDir();
    } catch (const EInOutError&) {
    }
    TTargetParts parts;
    std::string folder = text;
    std::string root;
    if (IsBracketed(text)) {
        folder = text.substr(1, text.size() - 2);
    } else {
        root = DrivePart(folder);
        if (root.empty())
            root = DrivePart(saved);
        else
            folder.erase(0, root.size());
    }
    try {
        if (FolderExists(root))
            SetCurrentDir(root);
        std::string file(LastComponent(folder));
        if (folder.size() == file.size() + 1) {
            folder = std::string(1, kPathSeparator);
        } else if (folder.size() > file.size()) {
            folder.erase(folder.size() - file.size() - 1);
        } else {
            // A bare name lies in the current directory.
            folder = GetCurrentDir().substr(DrivePart(saved).size());
            if (folder.empty())
                folder = std::string(1, kPathSeparator);
        }
        if (!folder.empty())
            SetCurrentDir(folder);
        // The last part is a folder to enter when it names one, wildcards or not (a Linux name
        // may hold "*" and "?"), and when it names no file and holds no wildcard (a folder
        // that must then exist). Otherwise it is a file or a pattern in the folder.
        const bool pattern = file.find_first_of("*?") != std::string::npos;
        if (!file.empty() && (FolderExists(file) || (!pattern && !FileExists(file)))) {
            SetCurrentDir(file);
            file.clear();
        }
        // Every step above entered the folder it named, so the current directory is now the
        // folder the target leads to. Taking it from there keeps a relative target with its
        // folders ("a/b") where the steps resolved it, whatever directory is current when the
        // folder is opened.
        parts.folderPart = GetCurrentDir();
        parts.filePart = std::move(file);
    } catch (...) {
        // The error that is passing tells what went wrong; a failure to change back is left
        // unsaid.
        try {
            if (FolderExists(saved))
                SetCurrentDir(saved);
        } catch (...) {
        }
        throw;
    }
    if (FolderExists(saved))
        SetCurrentDir(saved);
    parts.letter = DriveOfPath(parts.folderPart, drives);
    return parts;
}

} // namespace nomilo
