#pragma once

#include "platform/store/RegistryTypes.h"

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace nomilo {

// True when two key or value names are equal without regard to ASCII letter case.
bool SameRegName(std::string_view a, std::string_view b);

// Order, equality and hash of names without regard to ASCII letter case, for lookups by any
// spelling.
struct RegNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};
struct RegNameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return SameRegName(a, b); }
};
struct RegNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const;
};

// The deepest a key may lie below its root, as in the registry: a longer key path is refused.
inline constexpr std::size_t kMaxKeyDepth = 512;

// A key path ("A\B\C", the empty path for the root) the store can hold: no component is empty
// ("A\\B", a trailing "\") or holds a byte a key name cannot hold in the store file (NUL, CR,
// LF), and there are at most kMaxKeyDepth components.
bool IsKeyPath(std::string_view path);

// Calls `visit` with each component of a key path, in order.
template <typename Visit> void ForEachComponent(std::string_view path, Visit&& visit) {
    // Components are mostly short: a plain scan beats a search call per component.
    for (std::size_t start = 0, end = 0; start < path.size(); start = ++end) {
        while (end < path.size() && path[end] != '\\')
            ++end;
        visit(path.substr(start, end - start));
    }
}

// The components of a key path; std::nullopt when it is none (IsKeyPath).
std::optional<std::vector<std::string>> SplitKeyPath(std::string_view path);

// A value name the store file can carry: no NUL, CR or LF.
bool IsValidValueName(std::string_view name);

struct RegValue {
    std::string name; // empty for the key's default value
    std::uint32_t kind = REG_NONE;
    std::string data;
};

bool operator==(const RegValue& a, const RegValue& b);

// The values of one key in the order they were created, found by name in constant time.
class RegValueList {
public:
    RegValueList() = default;
    RegValueList(const RegValueList&) = delete;
    RegValueList& operator=(const RegValueList&) = delete;

    const RegValue* Find(std::string_view name) const;
    // Sets the value's kind and data; an existing value keeps its name's spelling and place.
    void Set(std::string_view name, std::uint32_t kind, std::string data);
    bool Remove(std::string_view name);

    std::size_t size() const { return values_.size(); }
    bool empty() const { return values_.empty(); }
    std::list<RegValue>::const_iterator begin() const { return values_.begin(); }
    std::list<RegValue>::const_iterator end() const { return values_.end(); }

private:
    // Views of the names held in values_, whose elements never move.
    using Index = std::unordered_map<std::string_view, std::list<RegValue>::iterator,
                                     RegNameHash, RegNameEqual>;

    std::list<RegValue> values_;
    std::unique_ptr<Index> index_; // made with the first value: most keys have none
};

bool operator==(const RegValueList& a, const RegValueList& b);

// One key: its values, and its subkeys by name in the order of their names with ASCII case
// folded. A key lives in its parent's map and never moves; its name is its entry's key there.
// Taking a key down walks its tree without recursion, however deep.
class RegKeyNode {
public:
    using Subkeys = std::map<std::string, RegKeyNode, RegNameLess>;

    RegKeyNode() = default; // a root, or a subkey before its entry names it
    ~RegKeyNode();
    RegKeyNode(const RegKeyNode&) = delete;
    RegKeyNode& operator=(const RegKeyNode&) = delete;

    // The name as created; empty for a root.
    const std::string& Name() const;
    RegValueList& Values() { return values_; }
    const RegValueList& Values() const { return values_; }
    const Subkeys& SubkeyMap() const { return subkeys_; }

    RegKeyNode* FindSubkey(std::string_view subkeyName);
    const RegKeyNode* FindSubkey(std::string_view subkeyName) const;
    // The subkey of that name, created (with this spelling) when missing.
    RegKeyNode& AddSubkey(std::string_view subkeyName);
    // Removes the subkey with everything below it.
    bool RemoveSubkey(std::string_view subkeyName);
    // The subkey at `index` in name order, or nullptr. Asking for the subkeys in order costs
    // one step each: the key remembers where the last answer stood.
    const RegKeyNode* SubkeyAt(std::size_t index) const;

    const RegValue* FindValue(std::string_view valueName) const { return values_.Find(valueName); }
    void SetValue(std::string_view valueName, std::uint32_t kind, std::string data) {
        values_.Set(valueName, kind, std::move(data));
    }

private:
    const std::string* name_ = nullptr; // the key of this key's entry in its parent's map
    RegValueList values_;
    Subkeys subkeys_;
    // Where SubkeyAt last answered; forgotten when a subkey comes or goes.
    mutable std::size_t lastIndex_ = 0;
    mutable Subkeys::const_iterator last_;
    mutable bool lastValid_ = false;
};

// Both roots of the store, in memory.
class RegistryTree {
public:
    RegistryTree();

    RegKeyNode& Root(RegRoot root);
    const RegKeyNode& Root(RegRoot root) const;

    // The key at `components` below the root, or nullptr.
    RegKeyNode* Find(RegRoot root, const std::vector<std::string>& components);
    const RegKeyNode* Find(RegRoot root, const std::vector<std::string>& components) const;

    // Same keys with the same spellings and the same values in the same order.
    bool operator==(const RegistryTree& other) const;

private:
    std::unique_ptr<RegKeyNode> currentUser_;
    std::unique_ptr<RegKeyNode> classesRoot_;
};

} // namespace nomilo
