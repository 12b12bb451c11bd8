#include "platform/store/RegistryStore.h"

#include "platform/files/FileIO.h"
#include "platform/files/UserFolders.h"
#include "platform/store/internal/RegFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
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

// The key at `components` below `node`, its path spelled as stored appended to `spelled`, or
// nullptr.
template <typename Node>
Node* WalkFrom(Node* node, const std::vector<std::string>& components, std::string* spelled) {
    for (const std::string& name : components) {
        node = node->FindSubkey(name);
        if (!node)
            return nullptr;
        if (spelled) {
            if (!spelled->empty())
                *spelled += '\\';
            *spelled += node->Name();
        }
    }
    return node;
}

// The key at `components` below the root and its path spelled as stored, or nullptr.
template <typename Tree>
auto Walk(Tree& tree, RegRoot root, const std::vector<std::string>& components,
          std::string* spelled) -> decltype(&tree.Root(root)) {
    return WalkFrom(&tree.Root(root), components, spelled);
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

// What tells one state of the store file from another without reading it.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileStamp& other) const {
        const auto same = [](const timespec& a, const timespec& b) {
            return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
        };
        return device == other.device && inode == other.inode && size == other.size &&
               same(modified, other.modified) && same(changed, other.changed);
    }
};

FileStamp StampOf(const struct stat& st) {
    return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// File times are coarse: a clock tick, or seconds on some file systems. So a file that changes
// twice within that time may keep its stamp, but a file whose times lay further back than this
// when it was read gets a newer time from any later change.
constexpr std::time_t kStampResolution = 2; // seconds

bool StampVouchesFor(const struct stat& st, const timespec& readAt) {
    const std::time_t latest = std::max(st.st_mtim.tv_sec, st.st_ctim.tv_sec);
    return readAt.tv_sec - latest > kStampResolution;
}

} // namespace

// The store file as last read and parsed. Its stamp alone vouches for it only when the file was
// settled (see kStampResolution) when it was read; else the file is read again and parsed only
// when its bytes differ.
struct RegistryStore::Snapshot {
    FileStamp stamp;
    bool settled = false;
    std::string text;
    RegFileContent content;
};

// A change under way: the lock, the file it writes, and what the change did.
struct RegistryStore::OpenChange {
    explicit OpenChange(int lockFd) : lock(lockFd) {}
    FileDescriptor lock;
    std::string target;
    bool modified = false;
    // The keys whose change the hook hears of, in order.
    std::vector<std::pair<RegRoot, std::string>> notices;
};

RegistryStore::RegistryStore(std::string path) : path_(std::move(path)) {}

RegistryStore::~RegistryStore() = default;

std::string RegistryStore::DefaultPath() {
    return XdgBaseFolder("XDG_CONFIG_HOME", "/.config").value_or("/.config") +
           "/nomilo/registry.reg";
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

RegFileContent* RegistryStore::Current() const {
    if (change_)
        return &snapshot_->content;
    if (readBatches_ == 0)
        return ReadFile();
    if (!batchRead_) {
        batchContent_ = ReadFile();
        batchRead_ = true;
    }
    return batchContent_;
}

RegFileContent* RegistryStore::ReadFile() const {
    timespec readAt{};
    clock_gettime(CLOCK_REALTIME, &readAt);
    FileDescriptor fd(open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        if (errno != ENOENT && errno != ENOTDIR)
            return nullptr;
        // No such file: an empty store.
        if (!snapshot_ || !snapshot_->text.empty())
            snapshot_.reset(new Snapshot{FileStamp{}, false, std::string(), RegFileContent{}});
        return &snapshot_->content;
    }
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0)
        return nullptr;
    const FileStamp stamp = StampOf(st);
    const bool same = snapshot_ && ((snapshot_->settled && snapshot_->stamp == stamp) ||
                                    HoldsExactly(fd.Get(), snapshot_->text));
    if (!same) {
        auto text = ReadAll(fd.Get());
        if (!text)
            return nullptr;
        RegFileContent parsed = ParseRegFile(*text);
        snapshot_.reset(new Snapshot{stamp, false, std::move(*text), std::move(parsed)});
    }
    snapshot_->stamp = stamp;
    snapshot_->settled = StampVouchesFor(st, readAt);
    return &snapshot_->content;
}

RegStatus RegistryStore::BeginChange() {
    if (!Writable() || !MakeFolders(ParentOf(path_)))
        return RegStatus::AccessDenied;
    auto change = std::make_unique<OpenChange>(
        open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!change->lock.Valid())
        return RegStatus::AccessDenied;
    while (flock(change->lock.Get(), LOCK_EX) != 0)
        if (errno != EINTR)
            return RegStatus::StoreError;
    change->target = WriteTarget(path_);
    batchRead_ = false; // the read below may replace what an open read batch found
    if (!ReadFile())
        return RegStatus::StoreError; // never overwrite what could not be read
    change_ = std::move(change);
    return RegStatus::Ok;
}

RegStatus RegistryStore::EndChange(bool write) {
    std::unique_ptr<OpenChange> change = std::move(change_);
    batchRead_ = false; // an open read batch looks at the file again
    RegStatus status = RegStatus::Ok;
    if (change->modified && write) {
        // No other writer is at work: what a killed one left goes.
        RemoveStaleTemporaries(change->target);
        Snapshot& written = *snapshot_;
        struct stat st {};
        const mode_t mode = stat(change->target.c_str(), &st) == 0 ? st.st_mode & 07777 : 0600;
        std::string text = FormatRegFile(written.content.tree);
        if ((written.content.damaged && !KeepDamaged(change->target, written.text)) ||
            !ReplaceAtomically(change->target, text, mode)) {
            status = RegStatus::StoreError;
        } else {
            written.text = std::move(text);
            written.content.damaged = false;
            written.settled = false; // the next read looks at the file again
        }
    }
    if (change->modified && (!write || status != RegStatus::Ok))
        snapshot_.reset(); // the tree in memory is not what the file holds
    const auto notices = std::move(change->notices);
    change.reset(); // the lock goes here, so that the hook may read the store
    if (!write || status != RegStatus::Ok || !hook_)
        return status;
    for (std::size_t i = 0; i < notices.size(); ++i) {
        if (i > 0 && notices[i] == notices[i - 1])
            continue;
        try {
            hook_(notices[i].first, notices[i].second);
        } catch (...) {
        }
    }
    return status;
}

RegStatus RegistryStore::Apply(const Mutation& mutate) {
    const bool ownChange = !change_;
    if (ownChange)
        if (const RegStatus begun = BeginChange(); begun != RegStatus::Ok)
            return begun;
    Change change;
    const RegStatus status = mutate(snapshot_->content.tree, change);
    change_->modified = change_->modified || change.modified;
    if (status == RegStatus::Ok && change.notify)
        change_->notices.emplace_back(change.root, change.keyPath);
    if (!ownChange)
        return status;
    const RegStatus written = EndChange(status == RegStatus::Ok);
    return status != RegStatus::Ok ? status : written;
}

RegistryStore::Batch::Batch(RegistryStore& store) : store_(store) {
    open_ = !store_.change_ && store_.BeginChange() == RegStatus::Ok;
}

RegistryStore::Batch::~Batch() {
    Commit();
}

RegStatus RegistryStore::Batch::Commit() {
    if (!open_)
        return RegStatus::Ok;
    open_ = false;
    return store_.EndChange(true);
}

RegistryStore::ReadBatch::ReadBatch(const RegistryStore& store) : store_(store) {
    ++store_.readBatches_;
}

RegistryStore::ReadBatch::~ReadBatch() {
    if (--store_.readBatches_ == 0) {
        store_.batchRead_ = false;
        store_.batchContent_ = nullptr;
    }
}

RegStatus RegistryStore::CreateKey(const RegKey& base, std::string_view subPath, RegKey& result) {
    std::vector<std::string> baseParts, subParts;
    if (const RegStatus status = SplitPaths(base, subPath, baseParts, subParts);
        status != RegStatus::Ok)
        return status;
    if (baseParts.size() + subParts.size() > kMaxKeyDepth)
        return RegStatus::InvalidName;
    RegKey created;
    // An existing key is only opened: no lock, no write.
    if (OpenKey(base, subPath, RegAccess::AllAccess, created) == RegStatus::Ok) {
        result = std::move(created);
        return RegStatus::Ok;
    }
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
            spelled += (spelled.empty() ? "" : "\\") + node->Name();
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
    const RegFileContent* content = Current();
    if (!content)
        return RegStatus::StoreError;
    std::string spelled;
    const RegKeyNode* baseNode = Walk(content->tree, base.root, baseParts, &spelled);
    if (!baseNode)
        return RegStatus::KeyDeleted;
    if (!WalkFrom(baseNode, subParts, &spelled))
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
    const RegFileContent* content = Current();
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
        info = RegKeyInfo{node.SubkeyMap().size(), 0, node.Values().size()};
        for (const auto& subkey : node.SubkeyMap())
            info.maxSubkeyNameLength = std::max(info.maxSubkeyNameLength, subkey.first.size());
        return RegStatus::Ok;
    });
}

RegStatus RegistryStore::EnumKey(const RegKey& key, std::size_t index, std::string& name) const {
    return ReadKey(key, [&](const RegKeyNode& node) {
        const RegKeyNode* subkey = node.SubkeyAt(index);
        if (!subkey)
            return RegStatus::NoMoreItems;
        name = subkey->Name();
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
        if (!node->SubkeyMap().empty())
            return RegStatus::AccessDenied;
        spelled += (spelled.empty() ? "" : "\\") + node->Name();
        parent->RemoveSubkey(name);
        change.modified = change.notify = true;
        change.root = base.root;
        change.keyPath = spelled;
        return RegStatus::Ok;
    });
}

} // namespace nomilo
