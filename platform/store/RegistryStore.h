#pragma once

#include "platform/store/RegistryTypes.h"
#include "platform/store/internal/RegFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace nomilo {

// The per-user settings store: one text file in the registry editor's export format holding
// the roots HKEY_CURRENT_USER and HKEY_CLASSES_ROOT. The operations have the shape of the
// registry calls the program was designed on; each names the call it stands for.
//
// Every operation reads the file as it is on disk at that moment. Every change is written at
// once: under an advisory lock on "<file>.lock" the file is read, the change applied, the
// result written to a temporary file in the same folder, flushed to disk and renamed over the
// file. So a reader never sees half a file and two processes never lose each other's changes.
// A file that does not fully parse is used as far as it parses; before a change rewrites it,
// the old file is kept as "<file>.bad" (or ".bad.2", ... when that name is taken).
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
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // $XDG_CONFIG_HOME/nomilo/registry.reg, with ~/.config when the variable is unset or not
    // an absolute path.
    static std::string DefaultPath();
    // The process's store at DefaultPath(), made on first use.
    static RegistryStore& Default();

    const std::string& Path() const { return path_; }

    // RegCreateKeyExA with all access: opens `subPath` below `base`, creating every missing
    // key on the way. Fails when the store cannot be written, also for an existing key.
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

private:
    struct Change {
        bool modified = false; // the tree differs and must be written
        bool notify = false;   // the hook runs
        RegRoot root = RegRoot::CurrentUser;
        std::string keyPath;
    };
    using Mutation = std::function<RegStatus(RegistryTree&, Change&)>;

    // The file's content; an absent file is an empty store, an unreadable one std::nullopt.
    std::optional<RegFileContent> Load() const;
    // Reads the store and hands the node of `key` to `read`, whose status it answers; a store
    // that cannot be read or a key that is gone answer for themselves.
    template <typename Read> RegStatus ReadKey(const RegKey& key, Read&& read) const;
    // Applies `mutate` to the file under the lock and writes the result when it changed.
    RegStatus Apply(const Mutation& mutate);

    std::string path_;
    ChangeHook hook_;
};

} // namespace nomilo
