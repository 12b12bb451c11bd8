#include "platform/store/internal/RegistryTree.h"

#include "platform/text/AsciiText.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace nomilo {

namespace {

bool HoldsLineBreakOrNul(std::string_view name) {
    return name.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos;
}

} // namespace

std::string_view RootName(RegRoot root) {
    return root == RegRoot::ClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
}

bool SameRegName(std::string_view a, std::string_view b) {
    return EqualIgnoringAsciiCase(a, b);
}

bool RegNameLess::operator()(std::string_view a, std::string_view b) const {
    return LessIgnoringAsciiCase(a, b);
}

std::size_t RegNameHash::operator()(std::string_view name) const {
    // FNV-1a over the folded bytes.
    std::size_t hash = 14695981039346656037ull;
    for (char c : name) {
        hash ^= static_cast<unsigned char>(AsciiLower(c));
        hash *= 1099511628211ull;
    }
    return hash;
}

bool IsKeyPath(std::string_view path) {
    if (path.empty())
        return true;
    std::size_t components = 1;
    std::size_t length = 0; // of the component at hand
    for (char c : path) {
        if (c == '\\') {
            if (length == 0)
                return false;
            ++components;
            length = 0;
        } else if (c == '\0' || c == '\r' || c == '\n') {
            return false;
        } else {
            ++length;
        }
    }
    return length > 0 && components <= kMaxKeyDepth;
}

std::optional<std::vector<std::string>> SplitKeyPath(std::string_view path) {
    if (!IsKeyPath(path))
        return std::nullopt;
    std::vector<std::string> components;
    ForEachComponent(path, [&](std::string_view name) { components.emplace_back(name); });
    return components;
}

bool IsValidValueName(std::string_view name) {
    return !HoldsLineBreakOrNul(name);
}

bool operator==(const RegValue& a, const RegValue& b) {
    return a.name == b.name && a.kind == b.kind && a.data == b.data;
}

// --- values -----------------------------------------------------------------------------------

const RegValue* RegValueList::Find(std::string_view name) const {
    if (!index_)
        return nullptr;
    const auto found = index_->find(name);
    return found == index_->end() ? nullptr : &*found->second;
}

void RegValueList::Set(std::string_view name, std::uint32_t kind, std::string data) {
    if (!index_)
        index_ = std::make_unique<Index>();
    if (const auto found = index_->find(name); found != index_->end()) {
        found->second->kind = kind;
        found->second->data = std::move(data);
        return;
    }
    values_.push_back(RegValue{std::string(name), kind, std::move(data)});
    const auto added = std::prev(values_.end());
    index_->emplace(added->name, added);
}

bool RegValueList::Remove(std::string_view name) {
    if (!index_)
        return false;
    const auto found = index_->find(name);
    if (found == index_->end())
        return false;
    values_.erase(found->second);
    index_->erase(found);
    return true;
}

bool operator==(const RegValueList& a, const RegValueList& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// --- keys -------------------------------------------------------------------------------------

RegKeyNode::~RegKeyNode() {
    if (subkeys_.empty())
        return;
    // The tree is taken apart one map of subkeys at a time, so that no destructor recurses:
    // the keys of a map go only once their own subkeys have been moved out.
    std::vector<Subkeys> pending;
    pending.push_back(std::move(subkeys_));
    while (!pending.empty()) {
        Subkeys subkeys = std::move(pending.back());
        pending.pop_back();
        for (auto& entry : subkeys)
            if (!entry.second.subkeys_.empty())
                pending.push_back(std::move(entry.second.subkeys_));
    }
}

const std::string& RegKeyNode::Name() const {
    static const std::string kRootName;
    return name_ ? *name_ : kRootName;
}

RegKeyNode* RegKeyNode::FindSubkey(std::string_view subkeyName) {
    const auto found = subkeys_.find(subkeyName);
    return found == subkeys_.end() ? nullptr : &found->second;
}

const RegKeyNode* RegKeyNode::FindSubkey(std::string_view subkeyName) const {
    return const_cast<RegKeyNode*>(this)->FindSubkey(subkeyName);
}

RegKeyNode& RegKeyNode::AddSubkey(std::string_view subkeyName) {
    const auto found = subkeys_.lower_bound(subkeyName);
    if (found != subkeys_.end() && SameRegName(found->first, subkeyName))
        return found->second;
    const auto added = subkeys_.try_emplace(found, std::string(subkeyName));
    added->second.name_ = &added->first;
    lastValid_ = false;
    return added->second;
}

bool RegKeyNode::RemoveSubkey(std::string_view subkeyName) {
    const auto found = subkeys_.find(subkeyName);
    if (found == subkeys_.end())
        return false;
    subkeys_.erase(found);
    lastValid_ = false;
    return true;
}

const RegKeyNode* RegKeyNode::SubkeyAt(std::size_t index) const {
    if (index >= subkeys_.size())
        return nullptr;
    if (!lastValid_ || index < lastIndex_) {
        last_ = subkeys_.begin();
        lastIndex_ = 0;
        lastValid_ = true;
    }
    last_ = std::next(last_, static_cast<std::ptrdiff_t>(index - lastIndex_));
    lastIndex_ = index;
    return &last_->second;
}

// --- both roots -------------------------------------------------------------------------------

RegistryTree::RegistryTree()
    : currentUser_(std::make_unique<RegKeyNode>()), classesRoot_(std::make_unique<RegKeyNode>()) {}

RegKeyNode& RegistryTree::Root(RegRoot root) {
    return root == RegRoot::ClassesRoot ? *classesRoot_ : *currentUser_;
}

const RegKeyNode& RegistryTree::Root(RegRoot root) const {
    return root == RegRoot::ClassesRoot ? *classesRoot_ : *currentUser_;
}

RegKeyNode* RegistryTree::Find(RegRoot root, const std::vector<std::string>& components) {
    RegKeyNode* node = &Root(root);
    for (const std::string& name : components) {
        node = node->FindSubkey(name);
        if (!node)
            return nullptr;
    }
    return node;
}

const RegKeyNode* RegistryTree::Find(RegRoot root,
                                     const std::vector<std::string>& components) const {
    return const_cast<RegistryTree*>(this)->Find(root, components);
}

bool RegistryTree::operator==(const RegistryTree& other) const {
    // Pairs of keys still to compare, walked without recursion.
    std::vector<std::pair<const RegKeyNode*, const RegKeyNode*>> pending;
    for (RegRoot root : {RegRoot::CurrentUser, RegRoot::ClassesRoot})
        pending.emplace_back(&Root(root), &other.Root(root));
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        if (a->Name() != b->Name() || !(a->Values() == b->Values()) ||
            a->SubkeyMap().size() != b->SubkeyMap().size())
            return false;
        auto ia = a->SubkeyMap().begin();
        for (auto ib = b->SubkeyMap().begin(); ib != b->SubkeyMap().end(); ++ia, ++ib)
            pending.emplace_back(&ia->second, &ib->second);
    }
    return true;
}

} // namespace nomilo
