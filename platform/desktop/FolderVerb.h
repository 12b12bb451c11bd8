#pragma once

#include "platform/store/RegistryStore.h"

#include <optional>
#include <string>
#include <vector>

namespace nomilo {

// One verb of the folder class as the store holds it: the key below
// HKEY_CLASSES_ROOT\Folder\shell, its label (the key's default value) and the command (the
// default value of its "Command" subkey).
struct FolderVerb {
    std::string name;
    std::string label;
    std::string command;
};

// The verbs below HKEY_CLASSES_ROOT\Folder\shell that have a "Command" subkey whose default
// value is a text that is not empty, in the store's order; texts are read up to their first NUL,
// a label of another kind counts as empty. std::nullopt when the store cannot be read. The store
// file is looked at once (RegistryStore::ReadBatch).
std::optional<std::vector<FolderVerb>> ReadFolderVerbs(const RegistryStore& store);

// Whether a change of the key `keyPath` below HKEY_CLASSES_ROOT can change the folder verbs:
// "Folder\shell" or a key below it, in any letter case.
bool AffectsFolderVerbs(const std::string& keyPath);

} // namespace nomilo
