#include "platform/desktop/DesktopPublisher.h"

#include "platform/desktop/internal/DesktopEntry.h"
#include "platform/files/DirHandle.h"
#include "platform/files/FileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {

namespace {

constexpr std::string_view kFilePrefix = "nomilo-folder-";
constexpr std::string_view kFileSuffix = ".desktop";
constexpr std::string_view kMarkerLine = "X-Nomilo-Generated=true";
// A generated file is a few hundred bytes; a larger one is not ours.
constexpr off_t kLargestGenerated = 64 * 1024;

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// What lies at the path of a file the publisher may write.
struct Existing {
    enum Kind { Missing, Generated, Foreign } kind = Missing;
    std::string content; // of a generated file
    mode_t mode = 0;
};

// A file counts as generated when it is a regular file (not a link) of generated size that
// carries the marker line. Whatever cannot be looked at is someone else's.
Existing Inspect(const std::string& path) {
    Existing found;
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        found.kind = errno == ENOENT ? Existing::Missing : Existing::Foreign;
        return found;
    }
    found.kind = Existing::Foreign;
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestGenerated)
        return found;
    auto text = ReadAll(fd.Get(), static_cast<std::size_t>(kLargestGenerated));
    if (!text)
        return found;
    const std::string marker = "\n" + std::string(kMarkerLine) + "\n";
    if (text->find(marker) == std::string::npos)
        return found;
    found.kind = Existing::Generated;
    found.content = std::move(*text);
    found.mode = st.st_mode & 07777;
    return found;
}

bool IsGeneratedName(std::string_view name) {
    return name.size() > kFilePrefix.size() + kFileSuffix.size() &&
           name.substr(0, kFilePrefix.size()) == kFilePrefix &&
           name.substr(name.size() - kFileSuffix.size()) == kFileSuffix;
}

// The names in `folder`; std::nullopt when it cannot be read (an absent folder is empty).
std::optional<std::vector<std::string>> FolderNames(const std::string& folder) {
    const DirHandle dir = OpenDir(folder.c_str());
    if (!dir) {
        if (errno == ENOENT)
            return std::vector<std::string>{};
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get()))
        names.emplace_back(entry->d_name);
    return names;
}

enum class ReadResult { Text, Absent, Unreadable };

// The default value of `key` as text up to its first NUL; a value of another kind is absent.
ReadResult ReadDefaultText(const RegistryStore& store, const RegKey& key, std::string& text) {
    std::uint32_t kind = REG_NONE;
    std::string data;
    switch (store.QueryValue(key, "", kind, data)) {
    case RegStatus::Ok:
        break;
    case RegStatus::NotFound:
    case RegStatus::KeyDeleted:
        return ReadResult::Absent;
    default:
        return ReadResult::Unreadable;
    }
    if (kind != REG_SZ && kind != REG_EXPAND_SZ)
        return ReadResult::Absent;
    text = data.substr(0, data.find('\0'));
    return ReadResult::Text;
}

// The label shown where accelerators mean nothing.
std::string PlainName(const FolderVerb& verb) {
    std::string name = DesktopDisplayText(StripAccelerator(verb.label));
    if (name.empty())
        name = DesktopDisplayText(verb.name);
    return EscapeDesktopString(name);
}

} // namespace

std::optional<std::vector<FolderVerb>> ReadFolderVerbs(const RegistryStore& store) {
    std::vector<FolderVerb> verbs;
    RegKey shell;
    switch (
        store.OpenKey(RegKey::Root(HKEY_CLASSES_ROOT), "Folder\\shell", RegAccess::Read, shell)) {
    case RegStatus::Ok:
        break;
    case RegStatus::NotFound:
        return verbs;
    default:
        return std::nullopt;
    }
    RegKeyInfo info;
    switch (store.QueryInfoKey(shell, info)) {
    case RegStatus::Ok:
        break;
    case RegStatus::KeyDeleted: // gone meanwhile: the change that took it publishes again
        return verbs;
    default:
        return std::nullopt;
    }
    for (std::size_t i = 0; i < info.subkeys; ++i) {
        FolderVerb verb;
        const RegStatus status = store.EnumKey(shell, i, verb.name);
        if (status == RegStatus::NoMoreItems || status == RegStatus::KeyDeleted)
            break;
        if (status != RegStatus::Ok)
            return std::nullopt;

        RegKey command;
        const RegStatus opened =
            store.OpenKey(shell, verb.name + "\\Command", RegAccess::Read, command);
        if (opened == RegStatus::NotFound || opened == RegStatus::KeyDeleted)
            continue;
        if (opened != RegStatus::Ok)
            return std::nullopt;
        const ReadResult commandRead = ReadDefaultText(store, command, verb.command);
        if (commandRead == ReadResult::Unreadable)
            return std::nullopt;
        if (commandRead == ReadResult::Absent || verb.command.empty())
            continue;

        RegKey verbKey;
        const RegStatus verbOpened = store.OpenKey(shell, verb.name, RegAccess::Read, verbKey);
        if (verbOpened == RegStatus::Ok) {
            if (ReadDefaultText(store, verbKey, verb.label) == ReadResult::Unreadable)
                return std::nullopt;
        } else if (verbOpened != RegStatus::NotFound && verbOpened != RegStatus::KeyDeleted) {
            return std::nullopt;
        }
        verbs.push_back(std::move(verb));
    }
    return verbs;
}

bool AffectsFolderVerbs(const std::string& keyPath) {
    static constexpr std::string_view kShell = "folder\\shell";
    if (keyPath.size() < kShell.size())
        return false;
    for (std::size_t i = 0; i < kShell.size(); ++i) {
        char c = keyPath[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != kShell[i])
            return false;
    }
    return keyPath.size() == kShell.size() || keyPath[kShell.size()] == '\\';
}

std::string DesktopDataHome() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return data;
    std::string home;
    if (const char* variable = std::getenv("HOME"); variable && *variable)
        home = variable;
    else if (const passwd* user = getpwuid(getuid()))
        home = user->pw_dir;
    if (home.empty())
        return std::string();
    return home + "/.local/share";
}

DesktopPublisher::DesktopPublisher(std::string dataHome) : dataHome_(std::move(dataHome)) {}

std::string DesktopPublisher::ApplicationsFolder() const {
    return dataHome_ + "/applications";
}

std::string DesktopPublisher::ServiceMenusFolder() const {
    return dataHome_ + "/kio/servicemenus";
}

bool DesktopPublisher::Publish(const RegistryStore& store) {
    const std::optional<std::vector<FolderVerb>> verbs = ReadFolderVerbs(store);
    if (!verbs)
        return false;
    return Locked(!verbs->empty(), [&] {
        // Read again under the lock, so that the publisher that comes last publishes the latest.
        const std::optional<std::vector<FolderVerb>> latest = ReadFolderVerbs(store);
        return latest && Synchronize(*latest);
    });
}

bool DesktopPublisher::Publish(const std::vector<FolderVerb>& verbs) {
    return Locked(!verbs.empty(), [&] { return Synchronize(verbs); });
}

bool DesktopPublisher::Locked(bool anything, const std::function<bool()>& action) {
    if (dataHome_.empty())
        return false;
    // Without a data folder there is nothing to delete; only a verb to publish makes one.
    if (!anything && !IsFolder(dataHome_))
        return true;
    if (!MakeFolders(dataHome_))
        return false;
    FileDescriptor lock(open(dataHome_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!lock.Valid())
        return false;
    while (flock(lock.Get(), LOCK_EX) != 0)
        if (errno != EINTR)
            return false;
    return action();
}

bool DesktopPublisher::Synchronize(const std::vector<FolderVerb>& verbs) {
    std::vector<Wanted> applications, serviceMenus;
    for (const FolderVerb& verb : verbs) {
        const std::optional<std::string> exec = DesktopExecValue(verb.command);
        if (!exec)
            continue;
        const std::string name = FolderVerbFileName(verb.name);
        applications.push_back({name, ApplicationEntryText(verb, *exec)});
        serviceMenus.push_back({name, ServiceMenuText(verb, *exec)});
    }
    const bool applicationsDone = SyncFolder(ApplicationsFolder(), applications, 0644);
    const bool serviceMenusDone = SyncFolder(ServiceMenusFolder(), serviceMenus, 0755);
    return applicationsDone && serviceMenusDone;
}

bool DesktopPublisher::SyncFolder(const std::string& folder, const std::vector<Wanted>& wanted,
                                  unsigned mode) {
    bool done = true;
    if (!wanted.empty() && !MakeFolders(folder))
        return false;
    for (const Wanted& file : wanted) {
        const Existing existing = Inspect(folder + "/" + file.name);
        if (existing.kind == Existing::Foreign) {
            done = false; // not ours: left alone
        } else if (existing.kind == Existing::Missing || existing.content != file.content ||
                   existing.mode != mode) {
            if (!ReplaceAtomically(folder + "/" + file.name, file.content,
                                   static_cast<mode_t>(mode)))
                done = false;
        }
    }
    const std::optional<std::vector<std::string>> names = FolderNames(folder);
    if (!names)
        return false;
    for (const std::string& name : *names) {
        if (!IsGeneratedName(name) ||
            std::any_of(wanted.begin(), wanted.end(),
                        [&](const Wanted& file) { return file.name == name; }))
            continue;
        const std::string path = folder + "/" + name;
        if (Inspect(path).kind == Existing::Generated && unlink(path.c_str()) != 0 &&
            errno != ENOENT)
            done = false;
    }
    return done;
}

std::string ApplicationEntryText(const FolderVerb& verb, const std::string& exec) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" +
           PlainName(verb) +
           "\n"
           "Exec=" +
           exec +
           "\n"
           "MimeType=inode/directory;\n"
           "NoDisplay=true\n" +
           std::string(kMarkerLine) + "\n";
}

std::string ServiceMenuText(const FolderVerb& verb, const std::string& exec) {
    // The menu entry keeps the label's accelerator; a verb without a label shows its name.
    std::string actionName = DesktopDisplayText(verb.label);
    if (StripAccelerator(actionName).empty())
        actionName = EscapeAccelerator(DesktopDisplayText(verb.name));
    return "[Desktop Entry]\n"
           "Type=Service\n"
           "Name=" +
           PlainName(verb) +
           "\n"
           "MimeType=inode/directory;\n"
           "Actions=open;\n"
           "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
           "X-KDE-Priority=TopLevel\n" +
           std::string(kMarkerLine) +
           "\n"
           "\n"
           "[Desktop Action open]\n"
           "Name=" +
           EscapeDesktopString(actionName) +
           "\n"
           "Icon=nomilo\n"
           "Exec=" +
           exec + "\n";
}

std::string FolderVerbFileName(const std::string& verbName) {
    return std::string(kFilePrefix) + FileNamePart(verbName) + std::string(kFileSuffix);
}

void PublishFolderVerbsOnChange(RegistryStore& store) {
    store.SetChangeHook([&store](RegRoot root, const std::string& keyPath) {
        if (root == HKEY_CLASSES_ROOT && AffectsFolderVerbs(keyPath))
            DesktopPublisher(DesktopDataHome()).Publish(store);
    });
}

void PublishFolderVerbsOnChange(RegistryStore& store, std::string dataHome) {
    store.SetChangeHook(
        [&store, dataHome = std::move(dataHome)](RegRoot root, const std::string& keyPath) {
            if (root == HKEY_CLASSES_ROOT && AffectsFolderVerbs(keyPath))
                DesktopPublisher(dataHome).Publish(store);
        });
}

} // namespace nomilo
