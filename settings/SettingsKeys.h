#pragma once

namespace nomilo {

// The key below HKEY_CURRENT_USER that holds the program's settings, and the names of its
// values. Every value is stored as text.
inline constexpr const char* kSettingsKey = "Software\\Kestrio\\Nomilo";

inline constexpr const char* kLanguageValue = "Jezik";
inline constexpr const char* kWidthValue = "Width";
inline constexpr const char* kHeightValue = "Height";
inline constexpr const char* kTopValue = "Top";
inline constexpr const char* kLeftValue = "Left";
inline constexpr const char* kFolderListWidthValue = "DirectoryListBox1.Width";
inline constexpr const char* kPanel2WidthValue = "Panel2.Width";
inline constexpr const char* kPanel6WidthValue = "Panel6.Width";
inline constexpr const char* kRenameSelValue = "RenameSel";
// Beyond the design.
inline constexpr const char* kShowNewNamesValue = "ShowNewNames";
inline constexpr const char* kRegularExpressionValue = "RegularExpression";
inline constexpr const char* kEveryOccurrenceValue = "EveryOccurrence";
inline constexpr const char* kNumberingValue = "Numbering";
inline constexpr const char* kFieldsValue = "Fields";
inline constexpr const char* kIncludeSubfoldersValue = "IncludeSubfolders";

} // namespace nomilo
