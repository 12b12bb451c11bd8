#include "platform/desktop/FolderVerb.h"

namespace nomilo {

namespace {

enum class ReadResult { Text, Absent, Unreadable };

// The default value of `key` as text up to its first NUL; a value of another kind is absent.
ReadResult ReadDefaultText(const RegistryStore& store, const RegKey& key, std::string& text) {
    std::uint32_t kind = REG_NONE;
    std::string data;
    switch (store.QueryValue(key, "", kind, data)) {
    case RegStatus::Ok:
        break;
    case RegStatus::NotFound:
    case RegStatus::KeyDeleted:
        return ReadResult::Absent;
    default:
        return ReadResult::Unreadable;
    }
    if (kind != REG_SZ && kind != REG_EXPAND_SZ)
        return ReadResult::Absent;
    text = data.substr(0, data.find('\0'));
    return ReadResult::Text;
}

} // namespace

std::optional<std::vector<FolderVerb>> ReadFolderVerbs(const RegistryStore& store) {
    // Some five reads a verb: one look at the file for all of them.
    const RegistryStore::ReadBatch oneLook(store);
    std::vector<FolderVerb> verbs;
    RegKey shell;
    switch (
        store.OpenKey(RegKey::Root(HKEY_CLASSES_ROOT), "Folder\\shell", RegAccess::Read, shell)) {
    case RegStatus::Ok:
        break;
    case RegStatus::NotFound:
        return verbs;
    default:
        return std::nullopt;
    }
    RegKeyInfo info;
    switch (store.QueryInfoKey(shell, info)) {
    case RegStatus::Ok:
        break;
    case RegStatus::KeyDeleted: // gone meanwhile: the change that took it publishes again
        return verbs;
    default:
        return std::nullopt;
    }
    for (std::size_t i = 0; i < info.subkeys; ++i) {
        FolderVerb verb;
        const RegStatus status = store.EnumKey(shell, i, verb.name);
        if (status == RegStatus::NoMoreItems || status == RegStatus::KeyDeleted)
            break;
        if (status != RegStatus::Ok)
            return std::nullopt;

        RegKey command;
        const RegStatus opened =
            store.OpenKey(shell, verb.name + "\\Command", RegAccess::Read, command);
        if (opened == RegStatus::NotFound || opened == RegStatus::KeyDeleted)
            continue;
        if (opened != RegStatus::Ok)
            return std::nullopt;
        const ReadResult commandRead = ReadDefaultText(store, command, verb.command);
        if (commandRead == ReadResult::Unreadable)
            return std::nullopt;
        if (commandRead == ReadResult::Absent || verb.command.empty())
            continue;

        RegKey verbKey;
        const RegStatus verbOpened = store.OpenKey(shell, verb.name, RegAccess::Read, verbKey);
        if (verbOpened == RegStatus::Ok) {
            if (ReadDefaultText(store, verbKey, verb.label) == ReadResult::Unreadable)
                return std::nullopt;
        } else if (verbOpened != RegStatus::NotFound && verbOpened != RegStatus::KeyDeleted) {
            return std::nullopt;
        }
        verbs.push_back(std::move(verb));
    }
    return verbs;
}

bool AffectsFolderVerbs(const std::string& keyPath) {
    static constexpr std::string_view kShell = "folder\\shell";
    if (keyPath.size() < kShell.size())
        return false;
    for (std::size_t i = 0; i < kShell.size(); ++i) {
        char c = keyPath[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != kShell[i])
            return false;
    }
    return keyPath.size() == kShell.size() || keyPath[kShell.size()] == '\\';
}

} // namespace nomilo
