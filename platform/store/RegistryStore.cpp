#include "platform/store/RegistryStore.h"

#include "platform/files/FileIO.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace nomilo {

namespace {

bool IsWritableFile(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode) && access(path.c_str(), W_OK) == 0;
}

// The whole file; std::nullopt with the errno in `error` when it cannot be read.
std::optional<std::string> ReadWhole(const std::string& path, int& error) {
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::optional<std::string> text = fd.Valid() ? ReadAll(fd.Get()) : std::nullopt;
    error = text ? 0 : errno;
    return text;
}

// Keeps `text`, the old content of `target`, as "<target>.bad", or ".bad.2", ".bad.3", ... so
// that no earlier kept file is replaced.
bool KeepDamaged(const std::string& target, std::string_view text) {
    for (int n = 1; n <= 1000; ++n) {
        std::string name = target + ".bad";
        if (n > 1)
            name.append(".").append(std::to_string(n));
        FileDescriptor fd(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!fd.Valid()) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        if (!WriteAll(fd.Get(), text) || fsync(fd.Get()) != 0) {
            unlink(name.c_str());
            return false;
        }
        return true;
    }
    return false;
}

// The file a change replaces: the target of a symbolic link, so that a linked store (a
// managed configuration folder) stays linked.
std::string WriteTarget(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = realpath(path.c_str(), nullptr)) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
    }
    return path;
}

// The key at `components` and its path spelled as stored, or nullptr.
template <typename Tree>
auto Walk(Tree& tree, RegRoot root, const std::vector<std::string>& components,
          std::string* spelled) -> decltype(&tree.Root(root)) {
    auto* node = &tree.Root(root);
    for (const std::string& name : components) {
        node = node->FindSubkey(name);
        if (!node)
            return nullptr;
        if (spelled) {
            if (!spelled->empty())
                *spelled += '\\';
            *spelled += node->name;
        }
    }
    return node;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The components of a key's path and of a path below it: KeyDeleted when the key's own path
// cannot be a key (a key another instance deleted), InvalidName for a bad path below it.
RegStatus SplitPaths(const RegKey& base, std::string_view subPath,
                     std::vector<std::string>& baseParts, std::vector<std::string>& subParts) {
    auto splitBase = SplitKeyPath(base.path);
    if (!splitBase)
        return RegStatus::KeyDeleted;
    auto splitSub = SplitKeyPath(subPath);
    if (!splitSub)
        return RegStatus::InvalidName;
    baseParts = std::move(*splitBase);
    subParts = std::move(*splitSub);
    return RegStatus::Ok;
}

} // namespace

RegistryStore::RegistryStore(std::string path) : path_(std::move(path)) {}

std::string RegistryStore::DefaultPath() {
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (home && *home) {
            base = home;
        } else if (const passwd* user = getpwuid(getuid())) {
            base = user->pw_dir;
        }
        base += "/.config";
    }
    return base + "/nomilo/registry.reg";
}

RegistryStore& RegistryStore::Default() {
    static RegistryStore store(DefaultPath());
    return store;
}

bool RegistryStore::Writable() const {
    std::string folder = ParentOf(path_);
    struct stat st {};
    while (stat(folder.c_str(), &st) != 0) {
        if (errno != ENOENT || folder == "/" || folder == ".")
            return false;
        folder = ParentOf(folder);
    }
    return S_ISDIR(st.st_mode) && access(folder.c_str(), W_OK | X_OK) == 0 &&
           IsWritableFile(path_) && IsWritableFile(path_ + ".lock");
}

std::optional<RegFileContent> RegistryStore::Load() const {
    int error = 0;
    const auto text = ReadWhole(path_, error);
    if (!text) {
        if (error == ENOENT || error == ENOTDIR) // no such file: an empty store
            return RegFileContent{};
        return std::nullopt;
    }
    return ParseRegFile(*text);
}

RegStatus RegistryStore::Apply(const Mutation& mutate) {
    if (!Writable() || !MakeFolders(ParentOf(path_)))
        return RegStatus::AccessDenied;
    Change change;
    {
        FileDescriptor lock(open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (!lock.Valid())
            return RegStatus::AccessDenied;
        while (flock(lock.Get(), LOCK_EX) != 0)
            if (errno != EINTR)
                return RegStatus::StoreError;

        const std::string target = WriteTarget(path_);
        int error = 0;
        const auto old = ReadWhole(target, error);
        if (!old && error != ENOENT)
            return RegStatus::StoreError; // never overwrite what could not be read
        RegFileContent content = old ? ParseRegFile(*old) : RegFileContent{};

        const RegStatus status = mutate(content.tree, change);
        if (status != RegStatus::Ok)
            return status;
        if (change.modified) {
            if (old && content.damaged && !KeepDamaged(target, *old))
                return RegStatus::StoreError;
            struct stat st {};
            const mode_t mode = stat(target.c_str(), &st) == 0 ? st.st_mode & 07777 : 0600;
            if (!ReplaceAtomically(target, FormatRegFile(content.tree), mode))
                return RegStatus::StoreError;
        }
    } // the lock goes here, so that the hook may read the store
    if (change.notify && hook_) {
        try {
            hook_(change.root, change.keyPath);
        } catch (...) {
        }
    }
    return RegStatus::Ok;
}

RegStatus RegistryStore::CreateKey(const RegKey& base, std::string_view subPath, RegKey& result) {
    std::vector<std::string> baseParts, subParts;
    if (const RegStatus status = SplitPaths(base, subPath, baseParts, subParts);
        status != RegStatus::Ok)
        return status;
    RegKey created;
    const RegStatus status = Apply([&](RegistryTree& tree, Change& change) {
        std::string spelled;
        RegKeyNode* node = Walk(tree, base.root, baseParts, &spelled);
        if (!node)
            return RegStatus::KeyDeleted;
        for (const std::string& name : subParts) {
            RegKeyNode* next = node->FindSubkey(name);
            if (!next) {
                next = &node->AddSubkey(name);
                change.modified = true;
            }
            node = next;
            spelled += (spelled.empty() ? "" : "\\") + node->name;
        }
        created = RegKey{base.root, spelled, RegAccess::AllAccess};
        change.notify = change.modified;
        change.root = base.root;
        change.keyPath = spelled;
        return RegStatus::Ok;
    });
    if (status == RegStatus::Ok)
        result = std::move(created);
    return status;
}

RegStatus RegistryStore::OpenKey(const RegKey& base, std::string_view subPath, RegAccess access,
                                 RegKey& result) const {
    std::vector<std::string> baseParts, subParts;
    if (const RegStatus status = SplitPaths(base, subPath, baseParts, subParts);
        status != RegStatus::Ok)
        return status;
    const auto content = Load();
    if (!content)
        return RegStatus::StoreError;
    if (!Walk(content->tree, base.root, baseParts, nullptr))
        return RegStatus::KeyDeleted;
    std::string spelled;
    if (!Walk(content->tree, base.root, Join(baseParts, subParts), &spelled))
        return RegStatus::NotFound;
    if (access == RegAccess::AllAccess && !Writable())
        return RegStatus::AccessDenied;
    result = RegKey{base.root, spelled, access};
    return RegStatus::Ok;
}

RegStatus RegistryStore::SetValue(const RegKey& key, std::string_view name, std::uint32_t kind,
                                  std::string_view data) {
    if (key.access != RegAccess::AllAccess)
        return RegStatus::AccessDenied;
    if (!IsValidValueName(name))
        return RegStatus::InvalidName;
    const auto parts = SplitKeyPath(key.path);
    if (!parts)
        return RegStatus::KeyDeleted;
    return Apply([&](RegistryTree& tree, Change& change) {
        std::string spelled;
        RegKeyNode* node = Walk(tree, key.root, *parts, &spelled);
        if (!node)
            return RegStatus::KeyDeleted;
        const RegValue* old = node->FindValue(name);
        change.modified = !old || old->kind != kind || old->data != data;
        node->SetValue(name, kind, std::string(data));
        // Also an unchanged value is news: writing it again is how a damaged publication of
        // the store is repaired.
        change.notify = true;
        change.root = key.root;
        change.keyPath = spelled;
        return RegStatus::Ok;
    });
}

template <typename Read> RegStatus RegistryStore::ReadKey(const RegKey& key, Read&& read) const {
    const auto parts = SplitKeyPath(key.path);
    const auto content = Load();
    if (!content)
        return RegStatus::StoreError;
    const RegKeyNode* node = parts ? Walk(content->tree, key.root, *parts, nullptr) : nullptr;
    return node ? read(*node) : RegStatus::KeyDeleted;
}

RegStatus RegistryStore::QueryValueInfo(const RegKey& key, std::string_view name,
                                        RegValueInfo& info) const {
    std::uint32_t kind = REG_NONE;
    std::string data;
    const RegStatus status = QueryValue(key, name, kind, data);
    if (status == RegStatus::Ok)
        info = RegValueInfo{kind, data.size()};
    return status;
}

RegStatus RegistryStore::QueryValue(const RegKey& key, std::string_view name, std::uint32_t& kind,
                                    std::string& data) const {
    return ReadKey(key, [&](const RegKeyNode& node) {
        const RegValue* value = node.FindValue(name);
        if (!value)
            return RegStatus::NotFound;
        kind = value->kind;
        data = value->data;
        return RegStatus::Ok;
    });
}

RegStatus RegistryStore::QueryInfoKey(const RegKey& key, RegKeyInfo& info) const {
    return ReadKey(key, [&](const RegKeyNode& node) {
        info = RegKeyInfo{node.subkeys.size(), 0, node.values.size()};
        for (const RegKeyNode& subkey : node.subkeys)
            info.maxSubkeyNameLength = std::max(info.maxSubkeyNameLength, subkey.name.size());
        return RegStatus::Ok;
    });
}

RegStatus RegistryStore::EnumKey(const RegKey& key, std::size_t index, std::string& name) const {
    return ReadKey(key, [&](const RegKeyNode& node) {
        if (index >= node.subkeys.size())
            return RegStatus::NoMoreItems;
        name = node.subkeys[index].name;
        return RegStatus::Ok;
    });
}

RegStatus RegistryStore::DeleteKey(const RegKey& base, std::string_view subPath) {
    std::vector<std::string> baseParts, subParts;
    if (const RegStatus status = SplitPaths(base, subPath, baseParts, subParts);
        status != RegStatus::Ok)
        return status;
    return Apply([&](RegistryTree& tree, Change& change) {
        if (!Walk(tree, base.root, baseParts, nullptr))
            return RegStatus::KeyDeleted;
        std::vector<std::string> parts = Join(baseParts, subParts);
        if (parts.empty())
            return RegStatus::AccessDenied; // a root is never deleted
        const std::string name = parts.back();
        parts.pop_back();
        std::string spelled;
        RegKeyNode* parent = Walk(tree, base.root, parts, &spelled);
        RegKeyNode* node = parent ? parent->FindSubkey(name) : nullptr;
        if (!node)
            return RegStatus::NotFound;
        if (!node->subkeys.empty())
            return RegStatus::AccessDenied;
        spelled += (spelled.empty() ? "" : "\\") + node->name;
        parent->RemoveSubkey(name);
        change.modified = change.notify = true;
        change.root = base.root;
        change.keyPath = spelled;
        return RegStatus::Ok;
    });
}

} // namespace nomilo
