#pragma once

#include "platform/desktop/DesktopPlaces.h"
#include "platform/desktop/FolderVerb.h"
#include "platform/store/RegistryStore.h"

#include <functional>
#include <string>
#include <vector>

namespace nomilo {

// Publishes the folder verbs to the context menus of the common file managers, one entry for
// each verb whose command it can carry, in the files they read (VERB: the verb's name made safe
// for a file name; CAPTION: the verb's label without its accelerator marks):
//   $XDG_DATA_HOME/kio/servicemenus/nomilo-folder-VERB.desktop     Dolphin (KDE service menu)
//   $XDG_CONFIG_HOME/Thunar/uca.xml                                Thunar, one <action> in it
//   $XDG_DATA_HOME/file-manager/actions/nomilo-folder-VERB.desktop PCManFM, PCManFM-Qt, Caja
//   $XDG_DATA_HOME/nemo/actions/nomilo-folder-VERB.nemo_action     Nemo
//   $XDG_DATA_HOME/nautilus/scripts/CAPTION                        Nautilus (Scripts menu)
//   $XDG_CONFIG_HOME/caja/scripts/CAPTION                          Caja (Scripts menu)
// The program's own verb also has an entry for selected files in the first four places
// ("nomilo-files-VERB", in uca.xml as the action's unique id); its scripts serve both.
// It also deletes the "Open with" entries for folders that earlier versions published,
// $XDG_DATA_HOME/applications/nomilo-folder-VERB.desktop: the program is never offered as a
// folder opener.
//
// Only files that carry the line "X-Nomilo-Generated=true" (as a comment in the scripts) are
// ever replaced or deleted, and in uca.xml only the actions whose unique id begins with
// "nomilo-folder-" or "nomilo-files-"; uca.xml is edited in place and everything else in it
// kept byte for byte. When it is missing, it starts as a copy of the system's (the first
// Thunar/uca.xml of $XDG_CONFIG_DIRS), which Thunar would otherwise show. Every file is written
// to a hidden temporary file beside it and renamed into place. Publishers of several processes
// take turns through an advisory lock on the folder $XDG_CONFIG_HOME/nomilo.
class DesktopPublisher {
public:
    explicit DesktopPublisher(DesktopPlaces places);

    const DesktopPlaces& Places() const { return places_; }

    // Reads the verbs from `store` and brings every place in line with them. Answers what could
    // not be done, one text for each place and file ("Thunar: ..."), empty when everything is
    // as it should be. When the store cannot be read no entry is touched.
    std::vector<std::string> Publish(const RegistryStore& store);
    // The same after a change of the verbs named `changed` (added, changed, written again
    // unchanged, or removed): their entries are brought in line, and of the other verbs' entries
    // those that are missing or whose names the change moved; the rest are taken to be as the
    // last publishing left them. So a change costs what it touches, not what the store holds.
    std::vector<std::string> Publish(const RegistryStore& store,
                                     const std::vector<std::string>& changed);
    // Brings every place in line with `verbs`.
    std::vector<std::string> Publish(const std::vector<FolderVerb>& verbs);
    // Publishes every verb of `store` once more when the entries on disk may be an earlier
    // version's: file managers go on running an entry as it was written until the verbs
    // change, so entries whose texts this version mends would otherwise keep their faults.
    // The version of the entries' texts last published in full is kept in the file
    // "published-entries" of the lock folder; it is written only when everything was done, so
    // that a failure is tried again at the next start. Answers what could not be done.
    std::vector<std::string> PublishIfEarlierVersion(const RegistryStore& store);

private:
    // Which verbs changed since the last publishing: all, or those named (any letter case).
    struct Changed {
        bool all = true;
        std::vector<std::string> names;
        bool Holds(const std::string& verbName) const;
    };

    std::vector<std::string> PublishFromStore(const RegistryStore& store, const Changed& changed);
    // Runs `action` holding the lock.
    std::vector<std::string> Locked(const std::function<std::vector<std::string>()>& action);
    std::vector<std::string> Synchronize(const std::vector<FolderVerb>& verbs,
                                         const Changed& changed) const;
    // Edits uca.xml; a verb whose action it cannot write gets "Thunar" in its `without`.
    std::vector<std::string> SynchronizeThunar(const std::vector<FolderVerb>& verbs,
                                               const Changed& changed,
                                               std::vector<std::vector<std::string>>& without) const;

    DesktopPlaces places_;
};

// Hangs the publishing on `store`'s change hook: every change below
// HKEY_CLASSES_ROOT\Folder\shell publishes the verbs to the places the environment names at
// that moment (DesktopPlaces::FromEnvironment), or to `places`: a change of one verb's keys
// as a change of that verb, a change of the key "Folder\shell" itself as a change of all.
// Replaces any earlier hook.
void PublishFolderVerbsOnChange(RegistryStore& store);

// PublishIfEarlierVersion to the places the environment names.
std::vector<std::string> PublishIfEarlierVersion(const RegistryStore& store);
void PublishFolderVerbsOnChange(RegistryStore& store, DesktopPlaces places);

// Runs `change`, a step that changes the folder verbs in a store hung on the publishing; when the
// last publishing it caused left something undone, raises EDesktopPublishing saying what, after
// the change is complete. For the user-interface thread.
void RaisingPublishingFailures(const std::function<void()>& change);

} // namespace nomilo
