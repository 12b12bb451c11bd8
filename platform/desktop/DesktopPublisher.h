#pragma once

#include "platform/store/RegistryStore.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nomilo {

// One verb of the folder class as the store holds it: the key below
// HKEY_CLASSES_ROOT\Folder\shell, its label (the key's default value) and the command (the
// default value of its "Command" subkey).
struct FolderVerb {
    std::string name;
    std::string label;
    std::string command;
};

// The verbs below HKEY_CLASSES_ROOT\Folder\shell that have a "Command" subkey whose default
// value is a text that is not empty, in the store's order; texts are read up to their first NUL,
// a label of another kind counts as empty. std::nullopt when the store cannot be read.
std::optional<std::vector<FolderVerb>> ReadFolderVerbs(const RegistryStore& store);

// Whether a change of the key `keyPath` below HKEY_CLASSES_ROOT can change the folder verbs:
// "Folder\shell" or a key below it, in any letter case.
bool AffectsFolderVerbs(const std::string& keyPath);

// The user's data folder: $XDG_DATA_HOME, or ~/.local/share when the variable is unset or not an
// absolute path. Empty when there is no home folder either.
std::string DesktopDataHome();

// Publishes the folder verbs to the desktop in the freedesktop way, below one data folder:
//   applications/nomilo-folder-VERB.desktop        "Open with" entry for folders (NoDisplay)
//   kio/servicemenus/nomilo-folder-VERB.desktop    context-menu entry for folders, executable
// VERB is the verb's name made safe for a file name (FileNamePart). Every file written carries
// the line "X-Nomilo-Generated=true"; only files of that name pattern that carry it are ever
// replaced or deleted, so nothing else in the data folders is touched. Files are written to a
// temporary file in the same folder and renamed into place. Publishers of several processes
// take turns through an advisory lock on the data folder.
class DesktopPublisher {
public:
    explicit DesktopPublisher(std::string dataHome);

    const std::string& DataHome() const { return dataHome_; }
    std::string ApplicationsFolder() const;
    std::string ServiceMenusFolder() const;

    // Reads the verbs from `store` and brings the files in line with them. When the store
    // cannot be read nothing is touched. Answers whether every file is now as it should be (a
    // file of the same name that the program did not write is left alone and makes it false).
    bool Publish(const RegistryStore& store);
    // Brings the files in line with `verbs`: writes the files of every verb whose command can
    // be run from a desktop entry, and deletes the generated files of every other name.
    bool Publish(const std::vector<FolderVerb>& verbs);

private:
    // A file as it should be.
    struct Wanted {
        std::string name;
        std::string content;
    };
    // Runs `action` holding the lock on the data folder, made first when `anything` is to be
    // published; without a data folder and with nothing to publish there is nothing to do.
    bool Locked(bool anything, const std::function<bool()>& action);
    bool Synchronize(const std::vector<FolderVerb>& verbs);
    static bool SyncFolder(const std::string& folder, const std::vector<Wanted>& wanted,
                           unsigned mode);

    std::string dataHome_;
};

// The text of the "Open with" entry and of the service menu for one verb, with `exec` the
// escaped Exec value (DesktopExecValue).
std::string ApplicationEntryText(const FolderVerb& verb, const std::string& exec);
std::string ServiceMenuText(const FolderVerb& verb, const std::string& exec);

// The file name, without folder, of a verb's files.
std::string FolderVerbFileName(const std::string& verbName);

// Hangs the publishing on `store`'s change hook: every change below
// HKEY_CLASSES_ROOT\Folder\shell publishes the verbs to the data folder, taken from the
// environment at that moment (DesktopDataHome) or given as `dataHome`. Replaces any earlier hook.
void PublishFolderVerbsOnChange(RegistryStore& store);
void PublishFolderVerbsOnChange(RegistryStore& store, std::string dataHome);

} // namespace nomilo
