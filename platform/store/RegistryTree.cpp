#include "platform/store/internal/RegistryTree.h"

#include "platform/text/AsciiText.h"

#include <algorithm>
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

std::optional<std::vector<std::string>> SplitKeyPath(std::string_view path) {
    std::vector<std::string> components;
    if (path.empty())
        return components;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        const std::string_view part = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part.empty() || HoldsLineBreakOrNul(part))
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

RegKeyNode* RegKeyNode::FindSubkey(std::string_view subkeyName) {
    return const_cast<RegKeyNode*>(std::as_const(*this).FindSubkey(subkeyName));
}

const RegKeyNode* RegKeyNode::FindSubkey(std::string_view subkeyName) const {
    const auto it = std::lower_bound(subkeys.begin(), subkeys.end(), subkeyName,
                                     [](const RegKeyNode& node, std::string_view name) {
                                         return LessIgnoringAsciiCase(node.name, name);
                                     });
    return it != subkeys.end() && SameRegName(it->name, subkeyName) ? &*it : nullptr;
}

RegKeyNode& RegKeyNode::AddSubkey(std::string_view subkeyName) {
    const auto it = std::lower_bound(subkeys.begin(), subkeys.end(), subkeyName,
                                     [](const RegKeyNode& node, std::string_view name) {
                                         return LessIgnoringAsciiCase(node.name, name);
                                     });
    if (it != subkeys.end() && SameRegName(it->name, subkeyName))
        return *it;
    RegKeyNode node;
    node.name = std::string(subkeyName);
    return *subkeys.insert(it, std::move(node));
}

bool RegKeyNode::RemoveSubkey(std::string_view subkeyName) {
    const auto it = std::find_if(subkeys.begin(), subkeys.end(), [&](const RegKeyNode& node) {
        return SameRegName(node.name, subkeyName);
    });
    if (it == subkeys.end())
        return false;
    subkeys.erase(it);
    return true;
}

const RegValue* RegKeyNode::FindValue(std::string_view valueName) const {
    for (const RegValue& value : values)
        if (SameRegName(value.name, valueName))
            return &value;
    return nullptr;
}

void RegKeyNode::SetValue(std::string_view valueName, std::uint32_t kind, std::string data) {
    for (RegValue& value : values)
        if (SameRegName(value.name, valueName)) {
            value.kind = kind;
            value.data = std::move(data);
            return;
        }
    values.push_back(RegValue{std::string(valueName), kind, std::move(data)});
}

RegKeyNode& RegistryTree::Root(RegRoot root) {
    return root == RegRoot::ClassesRoot ? classesRoot_ : currentUser_;
}

const RegKeyNode& RegistryTree::Root(RegRoot root) const {
    return root == RegRoot::ClassesRoot ? classesRoot_ : currentUser_;
}

RegKeyNode* RegistryTree::Find(RegRoot root, const std::vector<std::string>& components) {
    return const_cast<RegKeyNode*>(std::as_const(*this).Find(root, components));
}

const RegKeyNode* RegistryTree::Find(RegRoot root,
                                     const std::vector<std::string>& components) const {
    const RegKeyNode* node = &Root(root);
    for (const std::string& name : components) {
        node = node->FindSubkey(name);
        if (!node)
            return nullptr;
    }
    return node;
}

bool RegistryTree::operator==(const RegistryTree&) const = default;

bool operator==(const RegValue& a, const RegValue& b) {
    return a.name == b.name && a.kind == b.kind && a.data == b.data;
}

bool operator==(const RegKeyNode& a, const RegKeyNode& b) {
    return a.name == b.name && a.values == b.values && a.subkeys == b.subkeys;
}

} // namespace nomilo
