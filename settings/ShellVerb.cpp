#include "settings/ShellVerb.h"

#include "settings/TRegistry.h"

#include <cstddef>
#include <optional>

namespace nomilo {

namespace {

// The keys an install may create, outermost first.
constexpr const char* kInstallChain[] = {"Folder", "Folder\\shell", kShellVerbKey,
                                         kShellCommandKey};
constexpr std::size_t kChainLength = sizeof kInstallChain / sizeof kInstallChain[0];

// Deletes the keys of the chain from the innermost up to `first`, each only while it is
// empty: a key that meanwhile got a subkey of someone else's stays, with every key above it.
void RemoveCreatedKeys(RegistryStore& store, std::size_t first) {
    for (std::size_t i = kChainLength; i-- > first;) {
        const RegStatus status = store.DeleteKey(RegKey::Root(HKEY_CLASSES_ROOT), kInstallChain[i]);
        if (status != RegStatus::Ok && status != RegStatus::NotFound)
            return;
    }
}

} // namespace

std::string ShellCommandLine(const std::string& programPath) {
    return "\"" + programPath + "\" \"%L\"";
}

void InstallShellVerb(const std::string& programPath, const std::string& caption,
                      RegistryStore& store) {
    std::optional<std::size_t> firstCreated;
    try {
        {
            TRegistry reg(store);
            reg.SelectRoot(HKEY_CLASSES_ROOT);
            for (std::size_t i = 0; i < kChainLength && !firstCreated; ++i)
                if (!reg.HasKey(kInstallChain[i]))
                    firstCreated = i;
            reg.EnterKey(kShellCommandKey, true);
            reg.PutText("", ShellCommandLine(programPath));
            reg.LeaveKey();
        }
        {
            TRegistry reg(store);
            reg.SelectRoot(HKEY_CLASSES_ROOT);
            reg.EnterKey(kShellVerbKey, false);
            reg.PutText("", caption);
            reg.LeaveKey();
        }
    } catch (...) {
        // A verb key without its label, or a command key without its command, is not left
        // behind: what this install created goes again. Values it overwrote in keys that were
        // there before stay overwritten; the verb is then whole, with its new command.
        if (firstCreated)
            RemoveCreatedKeys(store, *firstCreated);
        throw;
    }
}

void RemoveShellVerb(RegistryStore& store) {
    TRegistry reg(store);
    reg.SelectRoot(HKEY_CLASSES_ROOT);
    reg.RemoveKeyTree(kShellVerbKey);
}

bool ShellVerbInstalled(RegistryStore& store) {
    TRegistry reg(store);
    reg.SelectRoot(HKEY_CLASSES_ROOT);
    const bool installed = reg.HasKey(kShellCommandKey);
    reg.LeaveKey();
    return installed;
}

void RelabelShellVerb(const std::string& shellLabel, RegistryStore& store) {
    TRegistry reg(store);
    reg.SelectRoot(HKEY_CLASSES_ROOT);
    // The look for the key and the write are one change of the store: one read of the file.
    reg.BeginUpdate();
    if (!reg.HasKey(kShellVerbKey))
        return;
    reg.EnterKey(kShellVerbKey, false);
    // A label that is already the one to write stays as it is, where it could be written:
    // writing it again would change nothing but publish the verb anew at every exit. (Where it
    // cannot be written, the write is tried and reported, as always.)
    std::uint32_t kind = REG_NONE;
    std::string stored;
    const bool same = reg.CurrentKey() && reg.CurrentKey()->access == RegAccess::AllAccess &&
                      store.QueryValue(*reg.CurrentKey(), "", kind, stored) == RegStatus::Ok &&
                      kind == REG_SZ && stored == shellLabel + '\0';
    if (!same)
        reg.PutText("", shellLabel);
    reg.LeaveKey();
    reg.EndUpdate();
}

} // namespace nomilo
