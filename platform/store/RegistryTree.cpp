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

std::optional<std::vector<std::string>> SplitKeyPath(std::string_view path) {
    std::vector<std::string> components;
    if (path.empty())
        return components;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        const std::string_view part = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part.empty() || HoldsLineBreakOrNul(part) || components.size() == kMaxKeyDepth)
            return std::nullopt;
        components.emplace_back(part);
        if (end == std::string_view::npos)
            return components;
        start = end + 1;
    }
}

bool IsValidValueName(std::string_view name) {
    return !HoldsLineBreakOrNul(name);
}

bool operator==(const RegValue& a, const RegValue& b) {
    return a.name == b.name && a.kind == b.kind && a.data == b.data;
}

// --- values -----------------------------------------------------------------------------------

const RegValue* RegValueList::Find(std::string_view name) const {
    const auto found = byName_.find(name);
    return found == byName_.end() ? nullptr : &*found->second;
}

void RegValueList::Set(std::string_view name, std::uint32_t kind, std::string data) {
    if (const auto found = byName_.find(name); found != byName_.end()) {
        found->second->kind = kind;
        found->second->data = std::move(data);
        return;
    }
    values_.push_back(RegValue{std::string(name), kind, std::move(data)});
    const auto added = std::prev(values_.end());
    byName_.emplace(added->name, added);
}

bool RegValueList::Remove(std::string_view name) {
    const auto found = byName_.find(name);
    if (found == byName_.end())
        return false;
    values_.erase(found->second);
    byName_.erase(found);
    return true;
}

bool operator==(const RegValueList& a, const RegValueList& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// --- keys -------------------------------------------------------------------------------------

RegKeyNode::~RegKeyNode() {
    // The subkeys' trees are taken apart one key at a time, so that no destructor recurses:
    // each key is destroyed only once its own subkeys have been taken out.
    std::vector<std::unique_ptr<RegKeyNode>> pending;
    auto takeSubkeys = [&pending](RegKeyNode& node) {
        for (auto& entry : node.subkeys_)
            pending.push_back(std::move(entry.second));
        node.subkeys_.clear();
    };
    takeSubkeys(*this);
    while (!pending.empty()) {
        std::unique_ptr<RegKeyNode> node = std::move(pending.back());
        pending.pop_back();
        takeSubkeys(*node);
    }
}

RegKeyNode* RegKeyNode::FindSubkey(std::string_view subkeyName) {
    const auto found = subkeys_.find(subkeyName);
    return found == subkeys_.end() ? nullptr : found->second.get();
}

const RegKeyNode* RegKeyNode::FindSubkey(std::string_view subkeyName) const {
    return const_cast<RegKeyNode*>(this)->FindSubkey(subkeyName);
}

RegKeyNode& RegKeyNode::AddSubkey(std::string_view subkeyName) {
    auto found = subkeys_.lower_bound(subkeyName);
    if (found != subkeys_.end() && SameRegName(found->first, subkeyName))
        return *found->second;
    auto node = std::make_unique<RegKeyNode>(std::string(subkeyName));
    RegKeyNode& added = *node;
    subkeys_.emplace_hint(found, added.name_, std::move(node));
    return added;
}

bool RegKeyNode::RemoveSubkey(std::string_view subkeyName) {
    const auto found = subkeys_.find(subkeyName);
    if (found == subkeys_.end())
        return false;
    subkeys_.erase(found);
    return true;
}

const RegKeyNode* RegKeyNode::SubkeyAt(std::size_t index) const {
    if (index >= subkeys_.size())
        return nullptr;
    return std::next(subkeys_.begin(), static_cast<std::ptrdiff_t>(index))->second.get();
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
            pending.emplace_back(ia->second.get(), ib->second.get());
    }
    return true;
}

} // namespace nomilo
