#pragma once

#include <string>

namespace nomilo {

// The texts of one interface language, in the order ApplyLanguage sets them. UTF-8.
struct TLanguageTable {
    const char* name; // "Hrvatski", "English", "Deutsch": the stored language name
    const char* caption;
    const char* button2Caption;
    const char* checkBox1Caption;
    const char* checkBox1Hint;
    const char* eFindHint;
    const char* eReplaceHint;
    const char* button1Hint;
    const char* eMaskHint;
    const char* shellIntegration1Caption;
    const char* removeShellIntegration1Caption;
    const char* renameSelCaption;
    const char* failureText;
    const char* ciCaption;
    const char* shellLabel;
};

// The table whose name equals `language` byte for byte (letter case included), looked up in
// the order Hrvatski, English, Deutsch; nullptr when none does.
const TLanguageTable* FindLanguageTable(const std::string& language);

// The three tables, Hrvatski, English, Deutsch.
extern const TLanguageTable kLanguageTables[3];

} // namespace nomilo
