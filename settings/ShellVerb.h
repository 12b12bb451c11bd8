#pragma once

#include "platform/store/RegistryStore.h"

#include <string>

namespace nomilo {

// The shell verb that opens a folder in the program: its key below HKEY_CLASSES_ROOT, whose
// default value is the menu label, and the key of its command line.
inline constexpr const char* kShellVerbKey = "Folder\\shell\\Nomilo";
inline constexpr const char* kShellCommandKey = "Folder\\shell\\Nomilo\\Command";

// The verb's command line: the program quoted, then the quoted folder placeholder:
// "PROGRAM" "%L".
std::string ShellCommandLine(const std::string& programPath);

// Each step below uses a TRegistry of its own on HKEY_CLASSES_ROOT, made and destroyed within
// the step, on `store` (the process's store unless a test hands in its own).

// Installs the verb (the install item): creates the command key as needed and stores the
// command line for `programPath`, then stores `caption` as the verb key's label. Installing
// again overwrites both, so a moved program is repaired. When the store refuses, raises
// ERegistryException ("Failed to set data for ''"); the keys the install created are then
// removed again, so it leaves either the whole verb or nothing new.
void InstallShellVerb(const std::string& programPath, const std::string& caption,
                      RegistryStore& store = RegistryStore::Default());

// Removes the verb key with everything below it (the remove item). Never raises; nothing is
// reported, also when nothing was installed or the store refuses.
void RemoveShellVerb(RegistryStore& store = RegistryStore::Default());

// Whether the remove item is enabled: the command key exists.
bool ShellVerbInstalled(RegistryStore& store = RegistryStore::Default());

// At exit: when the verb key exists (with or without its command key), stores `shellLabel` as
// its label, unless that is the label already; an entry that is not installed is never created. Raises ERegistryException
// ("Failed to set data for ''") when the label cannot be stored.
void RelabelShellVerb(const std::string& shellLabel,
                      RegistryStore& store = RegistryStore::Default());

} // namespace nomilo
