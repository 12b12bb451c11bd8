#pragma once

#include "platform/store/RegistryStore.h"
#include "platform/store/RegistryTypes.h"
#include "settings/ERegistryException.h"

#include <memory>
#include <optional>
#include <string>

namespace nomilo {

// The program's way to the settings store: a root, at most one current key that value
// operations address, and the current key's path for joining relative paths.
//
// Paths: one that begins with "\" is absolute, taken below the root with the backslash
// dropped; any other (the empty one included) is taken below the current key when one is
// open, else below the root. An empty relative path names that base key itself.
//
// Opening a key reports failure only through its result; the value operations raise
// ERegistryException.
class TRegistry {
public:
    // On the process's store (RegistryStore::Default()), root HKEY_CURRENT_USER, no key open.
    TRegistry();
    // On `store`, which must outlive the object.
    explicit TRegistry(RegistryStore& store);
    virtual ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // Takes another root; when it differs from the present one, the current key is closed.
    void SelectRoot(RegRoot root);
    // Opens `path` and makes it the current key. With `mayCreate` (and a non-empty path) the
    // key and every missing key above it are created, with all access; otherwise an existing
    // key is opened with all access or, failing that, read-only. On failure nothing changes.
    bool EnterKey(const std::string& path, bool mayCreate);
    // Closes the current key, if any, and clears the current path.
    void LeaveKey();
    // Creates the key path (all access) and closes it again; raises "Failed to create key %s"
    // with `path` as given.
    void MakeKey(const std::string& path);
    // Whether `path` opens with all access or read-only. Never raises.
    bool HasKey(const std::string& path);
    // Whether the current key has a value of that name.
    bool HasValue(const std::string& name);
    // Stores `text` as REG_SZ (its bytes and one terminating zero) under `name` in the current
    // key (empty name: the key's default value); raises "Failed to set data for '%s'".
    void PutText(const std::string& name, const std::string& text);
    // The text of a REG_SZ or REG_EXPAND_SZ value (not expanded) up to its first zero byte;
    // empty when the value is missing or empty. Raises "Failed to get data for '%s'" when its
    // data cannot be read and "Invalid data type for '%s'" for a value of another kind.
    std::string QueryText(const std::string& name);
    // Deletes the key `path` with every key beneath it and answers whether the key itself went.
    // A path naming a root deletes nothing. Never raises.
    bool RemoveKeyTree(const std::string& path);

    // Gathers the changes made through the store from now until EndUpdate into one change of
    // it (RegistryStore::Batch): locked once and written once, so that another instance sees
    // all of them or none. When the store cannot be locked, each change goes on its own.
    void BeginUpdate();
    // Writes the gathered changes; raises "Failed to set data for '%s'" naming the first value
    // put since BeginUpdate when they cannot be written. An update the object still holds as
    // it goes is written then, silently.
    void EndUpdate();

    RegRoot RootKey() const { return root_; }
    const std::optional<RegKey>& CurrentKey() const { return currentKey_; }
    const std::string& CurrentPath() const { return currentPath_; }
    // Always true: closing a key never forces the store to disk (every change reaches the
    // disk at once anyway).
    bool LazyWrite() const { return lazyWrite_; }
    RegistryStore& Store() const { return *store_; }

protected:
    // A path resolved against the root or the current key.
    struct Resolved {
        RegKey base;
        std::string subPath;
        bool relativeToCurrent = false;
    };
    Resolved Resolve(const std::string& path) const;
    // Opens with all access, falling back to read-only.
    std::optional<RegKey> OpenForUse(const Resolved& resolved) const;
    // Creates the key path with all access; false when the store refuses.
    bool CreateKeyPath(const std::string& path);

    // Makes a key current for the life of the object, then restores the key (and path) that
    // was current before, also when an exception passes.
    class KeySwap {
    public:
        KeySwap(TRegistry& owner, RegKey key, std::string path);
        ~KeySwap();
        KeySwap(const KeySwap&) = delete;
        KeySwap& operator=(const KeySwap&) = delete;

    private:
        TRegistry& owner_;
        std::optional<RegKey> savedKey_;
        std::string savedPath_;
    };

private:
    RegistryStore* store_;
    RegRoot root_ = HKEY_CURRENT_USER;
    std::optional<RegKey> currentKey_;
    std::string currentPath_;
    bool lazyWrite_ = true;
    std::unique_ptr<RegistryStore::Batch> update_;
    std::optional<std::string> firstValuePut_; // since BeginUpdate
};

} // namespace nomilo
