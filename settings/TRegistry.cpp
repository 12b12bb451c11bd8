#include "settings/TRegistry.h"

#include <vector>

namespace nomilo {

namespace {

std::string JoinPath(const std::string& base, const std::string& relative) {
    if (base.empty())
        return relative;
    if (relative.empty())
        return base;
    return base + "\\" + relative;
}

} // namespace

TRegistry::TRegistry() : TRegistry(RegistryStore::Default()) {}

TRegistry::TRegistry(RegistryStore& store) : store_(&store) {}

TRegistry::~TRegistry() {
    LeaveKey();
}

void TRegistry::SelectRoot(RegRoot root) {
    if (root == root_)
        return;
    LeaveKey();
    root_ = root;
}

TRegistry::Resolved TRegistry::Resolve(const std::string& path) const {
    if (!path.empty() && path.front() == '\\')
        return Resolved{RegKey::Root(root_), path.substr(1), false};
    if (currentKey_)
        return Resolved{*currentKey_, path, true};
    return Resolved{RegKey::Root(root_), path, false};
}

std::optional<RegKey> TRegistry::OpenForUse(const Resolved& resolved) const {
    RegKey key;
    if (store_->OpenKey(resolved.base, resolved.subPath, RegAccess::AllAccess, key) ==
            RegStatus::Ok ||
        store_->OpenKey(resolved.base, resolved.subPath, RegAccess::Read, key) == RegStatus::Ok)
        return key;
    return std::nullopt;
}

bool TRegistry::CreateKeyPath(const std::string& path) {
    const Resolved resolved = Resolve(path);
    RegKey key;
    return store_->CreateKey(resolved.base, resolved.subPath, key) == RegStatus::Ok;
}

bool TRegistry::EnterKey(const std::string& path, bool mayCreate) {
    const Resolved resolved = Resolve(path);
    std::optional<RegKey> key;
    if (mayCreate && !resolved.subPath.empty()) {
        RegKey created;
        if (store_->CreateKey(resolved.base, resolved.subPath, created) == RegStatus::Ok)
            key = std::move(created);
    } else {
        key = OpenForUse(resolved);
    }
    if (!key)
        return false;
    currentPath_ =
        resolved.relativeToCurrent ? JoinPath(currentPath_, resolved.subPath) : resolved.subPath;
    currentKey_ = std::move(key);
    return true;
}

void TRegistry::LeaveKey() {
    if (!currentKey_)
        return;
    currentKey_.reset(); // a handle is a plain value: dropping it closes the key
    currentPath_.clear();
}

void TRegistry::MakeKey(const std::string& path) {
    if (!CreateKeyPath(path))
        throw ERegistryException("Failed to create key " + path);
}

bool TRegistry::HasKey(const std::string& path) {
    return OpenForUse(Resolve(path)).has_value();
}

bool TRegistry::HasValue(const std::string& name) {
    RegValueInfo info;
    return currentKey_ && store_->QueryValueInfo(*currentKey_, name, info) == RegStatus::Ok;
}

void TRegistry::PutText(const std::string& name, const std::string& text) {
    std::string data = text;
    data += '\0';
    if (!currentKey_ || store_->SetValue(*currentKey_, name, REG_SZ, data) != RegStatus::Ok)
        throw ERegistryException("Failed to set data for '" + name + "'");
    if (update_ && !firstValuePut_)
        firstValuePut_ = name;
}

void TRegistry::BeginUpdate() {
    if (!update_)
        update_ = std::make_unique<RegistryStore::Batch>(*store_);
}

void TRegistry::EndUpdate() {
    if (!update_)
        return;
    const RegStatus written = update_->Commit();
    update_.reset();
    const std::string name = firstValuePut_.value_or(std::string());
    firstValuePut_.reset();
    if (written != RegStatus::Ok)
        throw ERegistryException("Failed to set data for '" + name + "'");
}

std::string TRegistry::QueryText(const std::string& name) {
    // A failed query counts as size -1.
    long long size = -1;
    RegValueInfo info;
    if (currentKey_ && store_->QueryValueInfo(*currentKey_, name, info) == RegStatus::Ok)
        size = static_cast<long long>(info.size);
    if (size <= 0)
        return std::string();
    std::uint32_t kind = REG_NONE;
    std::string data;
    // The value may have changed since its size was asked; more data than that is a failed
    // read, as with a buffer of the size first reported.
    if (store_->QueryValue(*currentKey_, name, kind, data) != RegStatus::Ok ||
        static_cast<long long>(data.size()) > size)
        throw ERegistryException("Failed to get data for '" + name + "'");
    if (kind != REG_SZ && kind != REG_EXPAND_SZ)
        throw ERegistryException("Invalid data type for '" + name + "'");
    return data.substr(0, data.find('\0'));
}

bool TRegistry::RemoveKeyTree(const std::string& path) {
    const Resolved resolved = Resolve(path);
    // An empty path below a root would name the root: never delete a whole root's keys.
    if (resolved.subPath.empty() && resolved.base.path.empty())
        return false;
    if (const std::optional<RegKey> key = OpenForUse(resolved)) {
        KeySwap swap(*this, *key,
                     resolved.relativeToCurrent ? JoinPath(currentPath_, resolved.subPath)
                                                : resolved.subPath);
        RegKeyInfo info;
        if (store_->QueryInfoKey(*key, info) == RegStatus::Ok) {
            // All names first: removing while enumerating by index would skip subkeys.
            std::vector<std::string> names;
            for (std::size_t i = 0; i < info.subkeys; ++i) {
                std::string name;
                if (store_->EnumKey(*key, i, name) != RegStatus::Ok)
                    break;
                names.push_back(std::move(name));
            }
            for (const std::string& name : names)
                RemoveKeyTree(name);
        }
    }
    return store_->DeleteKey(resolved.base, resolved.subPath) == RegStatus::Ok;
}

TRegistry::KeySwap::KeySwap(TRegistry& owner, RegKey key, std::string path)
    : owner_(owner), savedKey_(std::move(owner.currentKey_)),
      savedPath_(std::move(owner.currentPath_)) {
    owner_.currentKey_ = std::move(key);
    owner_.currentPath_ = std::move(path);
}

TRegistry::KeySwap::~KeySwap() {
    owner_.currentKey_ = std::move(savedKey_);
    owner_.currentPath_ = std::move(savedPath_);
}

} // namespace nomilo
