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
//
// The program's own verb (TakesSelections) also has an entry for a selection of files, which
// starts the command with "--select" and the selected paths in place of the placeholder; the
// program reads a local file URI as the path it names, so the entries may pass URIs.

// The line that marks a file as the publisher's own (scripts carry it as a comment).
inline constexpr std::string_view kGeneratedMarker = "X-Nomilo-Generated=true";

// The version of the texts below. Raise it with every change of an entry's text that entries
// published before should take on (DesktopPublisher::PublishIfEarlierVersion): 2 has Nemo quote
// the paths and keeps the file-manager actions out of Caja by a test of the file manager.
inline constexpr std::string_view kEntryTextsVersion = "2";

// Whether `verb` is the program's own, the verb its install item writes (Folder\shell\Nomilo, the
// key name in any letter case): only the program takes a selection and file URIs. Any other
// verb gets its one folder as a path.
bool TakesSelections(const FolderVerb& verb);

// The caption a verb shows where accelerators mean nothing: its label without the accelerator
// marks ("&&" shows one "&"), or its name when that leaves nothing; as display text (UTF-8, no
// control characters).
std::string VerbCaption(const FolderVerb& verb);

// A KDE service menu (kio/servicemenus), shown for one folder at a time; the one for files
// for any number of files (no folder among them).
std::optional<std::string> ServiceMenuText(const FolderVerb& verb);
std::optional<std::string> ServiceMenuFilesText(const FolderVerb& verb);

// A file-manager action (file-manager/actions: PCManFM, PCManFM-Qt, Caja's actions), and the
// one for files. Not shown in Caja, whose Scripts menu has the verb already, with or without
// its actions extension.
std::optional<std::string> FileManagerActionText(const FolderVerb& verb);
std::optional<std::string> FileManagerFilesActionText(const FolderVerb& verb);

// A Nemo action (nemo/actions), and the one for files, which has Nemo put each path or URI in
// double quotes. The program's own entries get URIs.
std::optional<std::string> NemoActionText(const FolderVerb& verb);
std::optional<std::string> NemoFilesActionText(const FolderVerb& verb);

// A script for the Scripts menu of Nautilus and Caja, which run it with the current folder as
// its working directory and the selected items as arguments, plain names for local ones. It
// starts the command on the first selected item when that is a folder, else on the current
// folder, so the command is only ever started on a folder. The program's own verb has one
// script for both: a selection that is not one folder goes to the program, as URIs.
std::optional<std::string> FolderScriptText(const FolderVerb& verb);

// A script's file name, which the Scripts menus show: the caption with "/" as "_", and "_" put
// in front of a caption that is empty or begins with "." (the menus skip hidden files).
std::string FolderScriptName(const FolderVerb& verb);

// The file name, without folder, of a verb's entry in the formats named after the verb:
// "nomilo-folder-" and the verb's name made safe (FileNamePart), then `suffix`; of its entry
// for files the same with "nomilo-files-".
std::string FolderVerbFileName(const std::string& verbName, std::string_view suffix);
std::string FilesVerbFileName(const std::string& verbName, std::string_view suffix);
// Whether `name` is a file name of a folder entry; of either entry.
bool IsFolderVerbFileName(std::string_view name, std::string_view suffix);
bool IsVerbEntryFileName(std::string_view name, std::string_view suffix);

// The unique id of a verb's Thunar custom action, which marks the action as the publisher's own:
// "nomilo-folder-" and the verb's name made safe; of its action for files "nomilo-files-" and
// the same.
std::string ThunarActionId(const std::string& verbName);
std::string ThunarFilesActionId(const std::string& verbName);
// Whether a Thunar action's unique id marks it as the publisher's.
bool IsOurThunarActionId(std::string_view id);

// A Thunar custom action (the <action> element of uca.xml), in Thunar's own layout, and the one
// for files.
std::optional<std::string> ThunarActionXml(const FolderVerb& verb);
std::optional<std::string> ThunarFilesActionXml(const FolderVerb& verb);

} // namespace nomilo
