#include "platform/desktop/DesktopPublisher.h"

#include "platform/desktop/EDesktopPublishing.h"
#include "platform/desktop/internal/DesktopEntry.h"
#include "platform/desktop/internal/FolderEntryTexts.h"
#include "platform/desktop/internal/GeneratedFolder.h"
#include "platform/desktop/internal/OpenWithEntries.h"
#include "platform/desktop/internal/ThunarActions.h"
#include "platform/files/FileIO.h"
#include "platform/text/AsciiText.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace nomilo {

namespace {

constexpr std::string_view kDesktopSuffix = ".desktop";
// uca.xml with many translated actions is some ten kilobytes; a larger one is left alone.
constexpr std::size_t kLargestActionsFile = 16 * 1024 * 1024;
constexpr const char* kEmptyActionsFile =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";

// One folder of entries: what the report calls it, the folder, and the entry of a verb; the
// program's own verb may have an entry for files as well (filesText, where the place has one).
struct EntryPlace {
    std::string shownAs;
    GeneratedFolder folder;
    std::optional<std::string> (*text)(const FolderVerb&);
    std::string (*fileName)(const FolderVerb&);
    std::optional<std::string> (*filesText)(const FolderVerb&) = nullptr;
    std::string (*filesFileName)(const FolderVerb&) = nullptr;
};

std::function<bool(std::string_view)> NamedAfterVerbs(std::string_view suffix) {
    return [suffix](std::string_view name) { return IsVerbEntryFileName(name, suffix); };
}

bool AnyName(std::string_view) {
    return true;
}

std::string DesktopFileName(const FolderVerb& verb) {
    return FolderVerbFileName(verb.name, kDesktopSuffix);
}

std::string NemoFileName(const FolderVerb& verb) {
    return FolderVerbFileName(verb.name, ".nemo_action");
}

std::string DesktopFilesFileName(const FolderVerb& verb) {
    return FilesVerbFileName(verb.name, kDesktopSuffix);
}

std::string NemoFilesFileName(const FolderVerb& verb) {
    return FilesVerbFileName(verb.name, ".nemo_action");
}

std::vector<EntryPlace> EntryPlaces(const DesktopPlaces& places) {
    const std::string marker(kGeneratedMarker);
    const std::string scriptMarker = "# " + marker;
    const auto byVerb = NamedAfterVerbs(kDesktopSuffix);
    return {
        {"Dolphin", GeneratedFolder(places.dataHome + "/kio/servicemenus", marker, 0755, byVerb),
         ServiceMenuText, DesktopFileName, ServiceMenuFilesText, DesktopFilesFileName},
        {"file-manager actions (PCManFM, PCManFM-Qt, Caja)",
         GeneratedFolder(places.dataHome + "/file-manager/actions", marker, 0644, byVerb),
         FileManagerActionText, DesktopFileName, FileManagerFilesActionText,
         DesktopFilesFileName},
        {"Nemo",
         GeneratedFolder(places.dataHome + "/nemo/actions", marker, 0644,
                         NamedAfterVerbs(".nemo_action")),
         NemoActionText, NemoFileName, NemoFilesActionText, NemoFilesFileName},
        {"Nautilus scripts",
         GeneratedFolder(places.dataHome + "/nautilus/scripts", scriptMarker, 0755, AnyName),
         FolderScriptText, FolderScriptName},
        {"Caja scripts",
         GeneratedFolder(places.configHome + "/caja/scripts", scriptMarker, 0755, AnyName),
         FolderScriptText, FolderScriptName},
    };
}

// The places that have no entry for a verb, one line for the verb: "Dolphin, Nemo: why".
std::string CannotCarry(const FolderVerb& verb, const std::vector<std::string>& places) {
    std::string line;
    for (const std::string& place : places)
        line += (line.empty() ? "" : ", ") + place;
    line += ": the command of the verb \"" + DesktopDisplayText(verb.name) + "\" (" +
            DesktopDisplayText(verb.command) + ")";
    if (!ShellCommand(verb.command, ""))
        return line + " names no program";
    return line + " is not UTF-8 text, which their entries cannot hold";
}

// `name`, or, when an earlier verb took it, `name` with " (2)", " (3)", ... after it; the name
// given goes into `taken`.
std::string FreeName(const std::string& name, std::unordered_set<std::string>& taken) {
    std::string free = name;
    for (int n = 2; taken.contains(free); ++n)
        free = name + " (" + std::to_string(n) + ")";
    taken.insert(free);
    return free;
}

void Append(std::vector<std::string>& to, const std::string& prefix,
            const std::vector<std::string>& failures) {
    for (const std::string& failure : failures)
        to.push_back(prefix + failure);
}

// The text of a file the user owns, read through a link; std::nullopt (with errno) when it
// cannot be read or is no regular file of a sensible size.
std::optional<std::string> ReadUserFile(const std::string& path) {
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        return std::nullopt;
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0)
        return std::nullopt;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return std::nullopt;
    }
    return ReadAll(fd.Get(), kLargestActionsFile);
}

// The actions Thunar shows while the user has no uca.xml: the system's, if any can be edited.
std::string SystemActionsFile(const DesktopPlaces& places) {
    for (const std::string& dir : places.configDirs) {
        const std::optional<std::string> text = ReadUserFile(dir + "/Thunar/uca.xml");
        if (text && EditThunarActions(*text, {}).text)
            return *text;
    }
    return kEmptyActionsFile;
}

// Whether the actions file `text` holds each of `actions` exactly once, byte for byte, with its
// unique id once, and no action with one of `absentIds`: then the file needs no edit for them,
// and it is not read as XML (which costs, with many verbs, more than the rest of the
// publishing). Ids are made of letters, digits, "-" and "_" only, which XML takes as they are.
bool HoldsActionsAsWanted(std::string_view text, const std::vector<const ThunarAction*>& actions,
                          const std::vector<std::string>& absentIds) {
    const auto count = [&](std::string_view part) {
        std::size_t found = 0;
        for (std::size_t at = text.find(part); at != std::string_view::npos;
             at = text.find(part, at + part.size()))
            ++found;
        return found;
    };
    const auto idElement = [](const std::string& id) {
        return "<unique-id>" + id + "</unique-id>";
    };
    return std::all_of(actions.begin(), actions.end(),
                       [&](const ThunarAction* action) {
                           return count(action->xml) == 1 && count(idElement(action->id)) == 1;
                       }) &&
           std::none_of(absentIds.begin(), absentIds.end(),
                        [&](const std::string& id) { return count(idElement(id)) != 0; });
}

} // namespace

EDesktopPublishing::EDesktopPublishing(const std::vector<std::string>& failures)
    : std::runtime_error([&] {
          std::string message = "The folder entry could not be published everywhere:";
          for (const std::string& failure : failures)
              message += "\n" + failure;
          return message;
      }()) {}

DesktopPublisher::DesktopPublisher(DesktopPlaces places) : places_(std::move(places)) {}

bool DesktopPublisher::Changed::Holds(const std::string& verbName) const {
    return all || std::any_of(names.begin(), names.end(), [&](const std::string& name) {
               return EqualIgnoringAsciiCase(name, verbName);
           });
}

std::vector<std::string> DesktopPublisher::Publish(const RegistryStore& store) {
    return PublishFromStore(store, Changed{});
}

std::vector<std::string> DesktopPublisher::Publish(const RegistryStore& store,
                                                   const std::vector<std::string>& changed) {
    return PublishFromStore(store, Changed{false, changed});
}

std::vector<std::string> DesktopPublisher::PublishFromStore(const RegistryStore& store,
                                                            const Changed& changed) {
    return Locked([&]() -> std::vector<std::string> {
        // Read under the lock, so that the publisher that comes last publishes the latest.
        const std::optional<std::vector<FolderVerb>> latest = ReadFolderVerbs(store);
        if (!latest)
            return {"the folder verbs could not be read from " + store.Path()};
        return Synchronize(*latest, changed);
    });
}

std::vector<std::string> DesktopPublisher::Publish(const std::vector<FolderVerb>& verbs) {
    return Locked([&] { return Synchronize(verbs, Changed{}); });
}

std::vector<std::string> DesktopPublisher::PublishIfEarlierVersion(const RegistryStore& store) {
    if (places_.configHome.empty())
        return {"there is no home folder to publish to"};
    const std::string record = places_.configHome + "/nomilo/published-entries";
    if (ReadUserFile(record) == std::optional<std::string>(kEntryTextsVersion))
        return {};
    std::vector<std::string> failures = Publish(store);
    if (failures.empty() && !ReplaceAtomically(record, kEntryTextsVersion, 0644))
        failures.push_back(FileFailure(record, "could not be written", errno));
    return failures;
}

std::vector<std::string>
DesktopPublisher::Locked(const std::function<std::vector<std::string>()>& action) {
    if (places_.dataHome.empty() || places_.configHome.empty())
        return {"there is no home folder to publish to"};
    const std::string lockFolder = places_.configHome + "/nomilo";
    if (!MakeFolders(lockFolder))
        return {FileFailure(lockFolder, "could not be made", errno)};
    FileDescriptor lock(open(lockFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!lock.Valid())
        return {FileFailure(lockFolder, "could not be opened", errno)};
    while (flock(lock.Get(), LOCK_EX) != 0)
        if (errno != EINTR)
            return {FileFailure(lockFolder, "could not be locked", errno)};
    return action();
}

std::vector<std::string> DesktopPublisher::Synchronize(const std::vector<FolderVerb>& verbs,
                                                       const Changed& changed) const {
    std::vector<std::string> failures;
    std::vector<std::vector<std::string>> without(verbs.size()); // the places a verb lacks
    std::vector<bool> verbChanged(verbs.size());
    for (std::size_t i = 0; i < verbs.size(); ++i)
        verbChanged[i] = changed.Holds(verbs[i].name);
    for (const EntryPlace& place : EntryPlaces(places_)) {
        std::vector<GeneratedFolder::File> wanted;
        std::unordered_set<std::string> taken;
        for (std::size_t i = 0; i < verbs.size(); ++i) {
            if (std::optional<std::string> text = place.text(verbs[i]))
                wanted.push_back({FreeName(place.fileName(verbs[i]), taken), std::move(*text),
                                  verbChanged[i]});
            else
                without[i].push_back(place.shownAs);
            // The entry for files says nothing the folder entry has not said.
            if (std::optional<std::string> files =
                    place.filesText ? place.filesText(verbs[i]) : std::nullopt)
                wanted.push_back({place.filesFileName(verbs[i]), std::move(*files), verbChanged[i]});
        }
        Append(failures, place.shownAs + ": ", place.folder.Sync(wanted));
    }
    Append(failures, "Thunar: ", SynchronizeThunar(verbs, changed, without));
    for (std::size_t i = 0; i < verbs.size(); ++i)
        if (!without[i].empty())
            failures.push_back(CannotCarry(verbs[i], without[i]));
    Append(failures, "Open With entries of earlier versions: ",
           RemoveOpenWithEntries(places_.dataHome + "/applications"));
    return failures;
}

std::vector<std::string>
DesktopPublisher::SynchronizeThunar(const std::vector<FolderVerb>& verbs, const Changed& changed,
                                    std::vector<std::vector<std::string>>& without) const {
    std::vector<std::string> failures;
    std::vector<ThunarAction> ours;
    std::vector<const ThunarAction*> changedOurs;
    bool changedWithout = false; // a changed verb has no action
    for (std::size_t i = 0; i < verbs.size(); ++i) {
        if (std::optional<std::string> xml = ThunarActionXml(verbs[i]))
            ours.push_back({ThunarActionId(verbs[i].name), std::move(*xml)});
        else
            without[i].push_back("Thunar");
        if (std::optional<std::string> xml = ThunarFilesActionXml(verbs[i]))
            ours.push_back({ThunarFilesActionId(verbs[i].name), std::move(*xml)});
    }
    std::vector<std::string> changedAbsentIds; // actions for files that changed verbs lack
    const auto own = [&](const std::string& id) -> const ThunarAction* {
        const auto found = std::find_if(ours.begin(), ours.end(),
                                        [&](const ThunarAction& action) { return action.id == id; });
        return found == ours.end() ? nullptr : &*found;
    };
    for (const std::string& name : changed.names) {
        if (const ThunarAction* action = own(ThunarActionId(name)))
            changedOurs.push_back(action);
        else
            changedWithout = true; // removed, or nothing to run: its action may have to go
        if (const ThunarAction* action = own(ThunarFilesActionId(name)))
            changedOurs.push_back(action);
        else
            changedAbsentIds.push_back(ThunarFilesActionId(name));
    }

    // A link (a dotfile kept elsewhere) is followed: the file it names is edited.
    const std::string path = places_.configHome + "/Thunar/uca.xml";
    std::string target = path;
    std::string text;
    mode_t mode = 0644;
    struct stat st {};
    const bool missing = stat(path.c_str(), &st) != 0 && errno == ENOENT;
    if (missing) {
        if (ours.empty())
            return failures;
        if (lstat(path.c_str(), &st) == 0) { // a dangling link: not ours to follow
            failures.push_back(FileFailure(path, "is a link to nothing and was left as it is", 0));
            return failures;
        }
        if (!MakeFolders(ParentOf(path))) {
            failures.push_back(FileFailure(ParentOf(path), "could not be made", errno));
            return failures;
        }
        text = SystemActionsFile(places_);
    } else {
        char resolved[PATH_MAX];
        std::optional<std::string> read = ReadUserFile(path);
        if (!read || !realpath(path.c_str(), resolved)) {
            failures.push_back(FileFailure(path, "could not be read", errno));
            return failures;
        }
        target = resolved;
        text = std::move(*read);
        mode = st.st_mode & 07777;
    }

    // Where only actions that should be there changed, and are there as wanted, nothing is
    // edited; anything else (an action to remove, a missing or different one) is read and
    // edited whole.
    if (!missing && !changed.all && !changedWithout &&
        HoldsActionsAsWanted(text, changedOurs, changedAbsentIds))
        return failures;
    const ThunarEdit edit = EditThunarActions(text, ours);
    if (!edit.text)
        failures.push_back(path + " is damaged (" + edit.damage + ") and was left as it is");
    else if ((missing || *edit.text != text) &&
             !ReplaceAtomically(target, *edit.text, mode))
        failures.push_back(FileFailure(path, "could not be written", errno));
    return failures;
}

namespace {

// What the latest publishing on a change hook left undone; the user-interface thread's alone.
std::vector<std::string>& LatestFailures() {
    static std::vector<std::string> failures;
    return failures;
}

// The verb a change of `keyPath` (below "Folder\shell") is a change of; the empty text for the
// key "Folder\shell" itself, a change of all of them.
std::string ChangedVerb(const std::string& keyPath) {
    constexpr std::size_t kShellLength = std::string_view("Folder\\shell\\").size();
    if (keyPath.size() <= kShellLength)
        return {};
    const std::size_t end = keyPath.find('\\', kShellLength);
    return keyPath.substr(kShellLength, end == std::string::npos ? end : end - kShellLength);
}

void HangPublishing(RegistryStore& store, std::function<DesktopPlaces()> places) {
    store.SetChangeHook([&store, places = std::move(places)](RegRoot root,
                                                            const std::string& keyPath) {
        if (root != HKEY_CLASSES_ROOT || !AffectsFolderVerbs(keyPath))
            return;
        const std::string verb = ChangedVerb(keyPath);
        DesktopPublisher publisher(places());
        LatestFailures() = verb.empty() ? publisher.Publish(store) : publisher.Publish(store, {verb});
    });
}

} // namespace

void PublishFolderVerbsOnChange(RegistryStore& store) {
    HangPublishing(store, DesktopPlaces::FromEnvironment);
}

void PublishFolderVerbsOnChange(RegistryStore& store, DesktopPlaces places) {
    HangPublishing(store, [places = std::move(places)] { return places; });
}

std::vector<std::string> PublishIfEarlierVersion(const RegistryStore& store) {
    return DesktopPublisher(DesktopPlaces::FromEnvironment()).PublishIfEarlierVersion(store);
}

void RaisingPublishingFailures(const std::function<void()>& change) {
    LatestFailures().clear();
    change();
    std::vector<std::string> failures = std::move(LatestFailures());
    LatestFailures().clear();
    if (!failures.empty())
        throw EDesktopPublishing(failures);
}

} // namespace nomilo
