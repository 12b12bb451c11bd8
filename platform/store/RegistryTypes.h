#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nomilo {

// The two roots of the settings store: the user's own keys and the keys the desktop shell
// reads (folder verbs).
enum class RegRoot { CurrentUser, ClassesRoot };

inline constexpr RegRoot HKEY_CURRENT_USER = RegRoot::CurrentUser;
inline constexpr RegRoot HKEY_CLASSES_ROOT = RegRoot::ClassesRoot;

// "HKEY_CURRENT_USER" or "HKEY_CLASSES_ROOT", as the store file spells the root.
std::string_view RootName(RegRoot root);

// Value kinds, numbered as the store file numbers them in `hex(N):`.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;

// What a store operation answers.
enum class RegStatus {
    Ok,
    NotFound,     // no such key or value
    AccessDenied, // the store cannot be written, the handle is read-only, or the key has subkeys
    KeyDeleted,   // the key a handle names is gone
    InvalidName,  // an empty path component, or a name the store file cannot carry
    NoMoreItems,  // an enumeration index past the last subkey
    StoreError,   // the store file could not be read or written
};

enum class RegAccess { Read, AllAccess };

// An open key. Every operation looks the key up again by its path in the store as it is on
// disk then, so a handle whose key another instance deleted answers KeyDeleted. The path is
// spelled as the key's names were created, components joined by "\", empty for the root.
struct RegKey {
    RegRoot root = RegRoot::CurrentUser;
    std::string path;
    RegAccess access = RegAccess::AllAccess;

    // The root itself, as the predefined root handles stand for it.
    static RegKey Root(RegRoot root) { return RegKey{root, std::string(), RegAccess::AllAccess}; }
};

struct RegValueInfo {
    std::uint32_t kind = REG_NONE;
    std::size_t size = 0; // bytes of data
};

struct RegKeyInfo {
    std::size_t subkeys = 0;
    std::size_t maxSubkeyNameLength = 0; // bytes, without a terminating zero
    std::size_t values = 0;
};

} // namespace nomilo
