#pragma once

#include "platform/desktop/FolderVerb.h"

#include <optional>
#include <string>
#include <string_view>

namespace nomilo {

// The texts of a folder verb's entry in each file manager's format. Each entry acts on one
// folder and starts the verb's command with that folder's path in place of its placeholder,
// quoted by the format's own rules. std::nullopt when the format cannot carry the command: it
// names no program, or, for every format but the scripts, it is no UTF-8 text (IsEntryText).

// The line that marks a file as the publisher's own (scripts carry it as a comment).
inline constexpr std::string_view kGeneratedMarker = "X-Nomilo-Generated=true";

// The caption a verb shows where accelerators mean nothing: its label without the accelerator
// marks ("&&" shows one "&"), or its name when that leaves nothing; as display text (UTF-8, no
// control characters).
std::string VerbCaption(const FolderVerb& verb);

// A KDE service menu (kio/servicemenus), shown for one folder at a time.
std::optional<std::string> ServiceMenuText(const FolderVerb& verb);

// A file-manager action (file-manager/actions: PCManFM, PCManFM-Qt, Caja's actions).
std::optional<std::string> FileManagerActionText(const FolderVerb& verb);

// A Nemo action (nemo/actions).
std::optional<std::string> NemoActionText(const FolderVerb& verb);

// A script for the Scripts menu of Nautilus and Caja, which run it with the current folder as
// its working directory and the selected items as arguments, plain names for local ones. It
// starts the command on the first argument when that is a folder, else on the current folder,
// so the program is only ever started on a folder.
std::optional<std::string> FolderScriptText(const FolderVerb& verb);

// A script's file name, which the Scripts menus show: the caption with "/" as "_", and "_" put
// in front of a caption that is empty or begins with "." (the menus skip hidden files).
std::string FolderScriptName(const FolderVerb& verb);

// The file name, without folder, of a verb's entry in the formats named after the verb:
// "nomilo-folder-" and the verb's name made safe (FileNamePart), then `suffix`.
std::string FolderVerbFileName(const std::string& verbName, std::string_view suffix);
// Whether `name` is such a file name.
bool IsFolderVerbFileName(std::string_view name, std::string_view suffix);

// The unique id of a verb's Thunar custom action, which marks the action as the publisher's own:
// "nomilo-folder-" and the verb's name made safe.
std::string ThunarActionId(const std::string& verbName);
inline constexpr std::string_view kThunarIdPrefix = "nomilo-folder-";

// A Thunar custom action (the <action> element of uca.xml), in Thunar's own layout.
std::optional<std::string> ThunarActionXml(const FolderVerb& verb);

} // namespace nomilo
