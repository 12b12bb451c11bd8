#pragma once

#include "platform/store/RegistryTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// True when two key or value names are equal without regard to ASCII letter case.
bool SameRegName(std::string_view a, std::string_view b);

// The components of a key path ("A\B\C"); the empty path gives no components. std::nullopt
// when a component is empty ("A\\B", a trailing "\") or holds a byte a key name cannot hold in
// the store file (NUL, CR, LF).
std::optional<std::vector<std::string>> SplitKeyPath(std::string_view path);

// A value name the store file can carry: no NUL, CR or LF.
bool IsValidValueName(std::string_view name);

struct RegValue {
    std::string name; // empty for the key's default value
    std::uint32_t kind = REG_NONE;
    std::string data;
};

// One key: its name as created, its values in the order they were created, its subkeys in
// the order of their names with ASCII case folded.
struct RegKeyNode {
    std::string name;
    std::vector<RegValue> values;
    std::vector<RegKeyNode> subkeys;

    RegKeyNode* FindSubkey(std::string_view subkeyName);
    const RegKeyNode* FindSubkey(std::string_view subkeyName) const;
    // The subkey of that name, created (with this spelling) when missing.
    RegKeyNode& AddSubkey(std::string_view subkeyName);
    bool RemoveSubkey(std::string_view subkeyName);

    const RegValue* FindValue(std::string_view valueName) const;
    // Sets the value's kind and data; an existing value keeps its name's spelling.
    void SetValue(std::string_view valueName, std::uint32_t kind, std::string data);
};

// Both roots of the store, in memory.
class RegistryTree {
public:
    RegKeyNode& Root(RegRoot root);
    const RegKeyNode& Root(RegRoot root) const;

    // The key at `components` below the root, or nullptr.
    RegKeyNode* Find(RegRoot root, const std::vector<std::string>& components);
    const RegKeyNode* Find(RegRoot root, const std::vector<std::string>& components) const;

    bool operator==(const RegistryTree&) const;

private:
    RegKeyNode currentUser_;
    RegKeyNode classesRoot_;
};

bool operator==(const RegValue& a, const RegValue& b);
bool operator==(const RegKeyNode& a, const RegKeyNode& b);

} // namespace nomilo
