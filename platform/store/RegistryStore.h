#pragma once

#include "platform/store/RegistryTypes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nomilo {

class RegistryTree;
struct RegFileContent;

// The per-user settings store: one text file in the registry editor's export format holding
// the roots HKEY_CURRENT_USER and HKEY_CLASSES_ROOT. The operations have the shape of the
// registry calls the program was designed on; each names the call it stands for.
//
// Every operation sees the file as it is on disk at that moment; the file is read and parsed
// again only when it changed (see Snapshot in the source). Every change is written at once:
// under an advisory lock on "<file>.lock" the change is applied to the file as it is, the
// result written to a temporary file in the same folder, flushed to disk and renamed over the
// file. So a reader never sees half a file and two processes never lose each other's changes.
// Temporary files that a killed writer left are removed under the lock. A file that does not
// fully parse is used as far as it parses; before a change rewrites it, the old file is kept
// as "<file>.bad" (or ".bad.2", ... when that name is taken). Key paths are at most
// 512 keys deep.
//
// Key and value names match without regard to ASCII case and keep the spelling they were
// created with. Handles (`RegKey`) are plain values: closing a key (RegCloseKey) is dropping
// its handle.
class RegistryStore {
public:
    // Runs after every successful change, with the root and the path of the key that changed
    // (created, deleted, or one of whose values was set), spelled as stored.
    using ChangeHook = std::function<void(RegRoot root, const std::string& keyPath)>;

    explicit RegistryStore(std::string path);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // $XDG_CONFIG_HOME/nomilo/registry.reg, with ~/.config when the variable is unset or not
    // an absolute path.
    static std::string DefaultPath();
    // The process's store at DefaultPath(), made on first use.
    static RegistryStore& Default();

    const std::string& Path() const { return path_; }

    // RegCreateKeyExA with all access: opens `subPath` below `base`, creating every missing
    // key on the way. Fails when the store cannot be written, also for an existing key. An
    // existing key is opened without taking the lock.
    RegStatus CreateKey(const RegKey& base, std::string_view subPath, RegKey& result);
    // RegOpenKeyExA: opens an existing key. All access fails when the store cannot be written.
    RegStatus OpenKey(const RegKey& base, std::string_view subPath, RegAccess access,
                      RegKey& result) const;
    // RegSetValueExA: sets a value (empty name: the key's default value) to `kind` and `data`,
    // replacing a value of that name of any kind.
    RegStatus SetValue(const RegKey& key, std::string_view name, std::uint32_t kind,
                       std::string_view data);
    // RegQueryValueExA without a buffer: the value's kind and size.
    RegStatus QueryValueInfo(const RegKey& key, std::string_view name, RegValueInfo& info) const;
    // RegQueryValueExA with a buffer: the value's kind and data.
    RegStatus QueryValue(const RegKey& key, std::string_view name, std::uint32_t& kind,
                         std::string& data) const;
    // RegQueryInfoKeyA: number of subkeys, longest subkey name, number of values.
    RegStatus QueryInfoKey(const RegKey& key, RegKeyInfo& info) const;
    // RegEnumKeyExA: the name of subkey `index`, in the order of ASCII-folded names.
    RegStatus EnumKey(const RegKey& key, std::size_t index, std::string& name) const;
    // RegDeleteKeyA: deletes the key `subPath` below `base` (empty: `base` itself). A key that
    // has subkeys, or a root, is refused with AccessDenied.
    RegStatus DeleteKey(const RegKey& base, std::string_view subPath);

    // The one change hook; an empty function removes it. What the hook throws is dropped: the
    // change it follows has succeeded.
    void SetChangeHook(ChangeHook hook) { hook_ = std::move(hook); }

    // Whether a change could be written now: the folder (or the nearest existing folder above
    // it) is a writable folder, and the file and its lock file, where present, are writable
    // regular files.
    bool Writable() const;

    // Makes the changes made through the store during its life one change of the file: the
    // lock is taken once, as the batch begins, and the file written once, by Commit (or as the
    // batch goes), so that another process sees all of the changes or none. Reads in between
    // see the changes. When the lock cannot be taken, the batch does nothing and each change
    // goes (and fails) on its own. A batch begun while another is open joins that one.
    class Batch {
    public:
        explicit Batch(RegistryStore& store);
        // Commits what Commit has not, dropping its status.
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

        // Writes the changes, releases the lock and runs the change hook; AccessDenied or
        // StoreError when the changes could not be written (they are then lost). Ok when the
        // batch does nothing.
        RegStatus Commit();

    private:
        RegistryStore& store_;
        bool open_ = false;
    };

    // Makes the reads during its life one look at the file: the first read finds the file as
    // it is (reading it again only when it changed), and the reads after it see that state,
    // with no look at the file each. For a step that reads many keys at once, such as listing
    // every folder verb. A change made meanwhile is seen; the read after it looks at the file
    // again. Read batches nest.
    class ReadBatch {
    public:
        explicit ReadBatch(const RegistryStore& store);
        ~ReadBatch();
        ReadBatch(const ReadBatch&) = delete;
        ReadBatch& operator=(const ReadBatch&) = delete;

    private:
        const RegistryStore& store_;
    };

private:
    struct Change {
        bool modified = false; // the tree differs and must be written
        bool notify = false;   // the hook runs
        RegRoot root = RegRoot::CurrentUser;
        std::string keyPath;
    };
    using Mutation = std::function<RegStatus(RegistryTree&, Change&)>;
    struct Snapshot;
    struct OpenChange;

    // The store as it is on disk now, read and parsed again only when the file changed (the
    // change under way while one is open; the state a read batch found while one is open); an
    // absent file is an empty store, an unreadable one nullptr.
    RegFileContent* Current() const;
    // The same, always from the file.
    RegFileContent* ReadFile() const;
    // Hands the node of `key` to `read`, whose status it answers; a store that cannot be read
    // or a key that is gone answer for themselves.
    template <typename Read> RegStatus ReadKey(const RegKey& key, Read&& read) const;
    // Takes the lock and reads the file for a change; AccessDenied or StoreError when it
    // cannot.
    RegStatus BeginChange();
    // Writes the open change when `write` is set and it changed anything, releases the lock and
    // runs the hook for what was written.
    RegStatus EndChange(bool write);
    // Applies `mutate` to the open change, or to one of its own.
    RegStatus Apply(const Mutation& mutate);

    std::string path_;
    ChangeHook hook_;
    mutable std::unique_ptr<Snapshot> snapshot_;
    std::unique_ptr<OpenChange> change_;
    // Read batches open, and what their first read found (valid once it has been made).
    mutable int readBatches_ = 0;
    mutable bool batchRead_ = false;
    mutable RegFileContent* batchContent_ = nullptr;
};

} // namespace nomilo
