#pragma once

#include <string>

namespace nomilo {

// The texts of the features beyond the design (the preview of new names, the details of refused
// renames, undo, the paths of a selection left out), in one language. UTF-8.
struct TFeatureTexts {
    const char* showNewNames1Caption;
    const char* undoLastRename1Caption;
    // Why a rename is refused, by TRefusal: Taken, TakenInBatch, NotAcceptable, TooLong, Gone,
    // NoPermission, Replaced.
    const char* refusals[7];
    // The line after the first 1,000 refused renames; "%1" is the number of the rest.
    const char* moreRefusals;
    // The message box's button that shows the list of refused renames, and hides it again.
    const char* showDetails;
    const char* hideDetails;
    // The message after a start on a selection of which some paths could not be selected: its
    // first line, and why a path was left out, by TLeftOut: Missing, OtherFolder, NotListed.
    const char* leftOutPaths;
    const char* leftOutReasons[3];
    // The message after a start on a folder that did not answer at once (a network share whose
    // server is gone): "%1" is the folder.
    const char* folderNoAnswer;
    // The switches of the rename rule.
    const char* regularExpression1Caption;
    const char* everyOccurrence1Caption;
    const char* numbering1Caption;
    // What keeps the rule from renaming: "%1" is the expression engine's message (English),
    // "%2" the offset in the field, in characters.
    const char* badFindText;
    const char* badReplaceText;
    // The expression failed on a name (it would take too long): "%1" the engine's message.
    const char* failedExpression;
    // The second line of the message Rename shows when the rule cannot rename.
    const char* nothingRenamed;
    // Lines of the replace field's hint while Numbering, and Regular expression, is on.
    const char* numberingHelp;
    const char* substitutionHelp;
    // After a batch that renamed files without a journal to undo them, and after an undo that
    // renamed nothing: "%1" is one of the reasons below.
    const char* notUndoable;
    const char* nothingUndone;
    // The reasons: "%1" is the journal's file (its lock file), "%2" the system's message.
    const char* journalNotWritten;
    const char* journalBusy;
    const char* journalLockUnusable;
    const char* journalDamaged;
    const char* journalNotRegular;
    const char* journalNotOwned;
    const char* journalWritableByOthers;
    const char* journalUnreadable;
    const char* journalNoAnswer;
    // "%1" is the batch's folder.
    const char* folderReplaced;
    // The sentence after it: the undo waits for the folder's return, or is given up because the
    // folder's drive is there without it.
    const char* folderMayComeBack;
    const char* folderGoneForGood;
    // The Fields switch: its caption, the replace field's hint while it is on, a field the rule
    // cannot use ("%1" the message, in English, "%2" the offset in characters), why a file has no
    // value, by TRefusal from NoDateTaken to StillReading, the line at the foot of the file list
    // while the files' data is read ("%1" files left), and the label and button of Rename's wait.
    const char* fields1Caption;
    const char* fieldsHelp;
    const char* badField;
    const char* fieldRefusals[12];
    const char* stillReading;
    const char* waitingForFacts;
    const char* cancelWaiting;
    // Include subfolders: its caption, the line the file list shows while it reads the
    // subfolders ("%1" folders and "%2" files read so far), the message that names the folders
    // left out (its first line, and why: another file system, or a read that failed, "%1" the
    // system's message), and why an undo leaves a file whose folder was moved or replaced.
    const char* includeSubfolders1Caption;
    const char* readingSubfolders;
    const char* leftOutFolders;
    const char* otherFileSystem;
    const char* unreadableFolder;
    const char* folderMoved;
};

// What assistive technologies (screen readers) call the controls that show no caption of their
// own, and what they say of the file list, in one language. UTF-8.
struct TAccessibleTexts {
    const char* eFindName;
    const char* eReplaceName;
    const char* eMaskName;
    const char* driveComboBox1Name;
    const char* directoryListBox1Name;
    const char* fileListBox1Name;
    const char* button1Name;
    // The file list's description in selected-only mode off and on: which files Rename takes,
    // which sighted users tell by the list's colours.
    const char* everyFileTaken;
    const char* selectedFilesTaken;
    // How many they are, after the description and in the Rename button's: "%1" the files
    // Rename takes, "%2" the files of the list.
    const char* takenCount;
};

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
    TFeatureTexts features;
    TAccessibleTexts accessible;
};

// The table whose name equals `language` byte for byte (letter case included), looked up in
// the order Hrvatski, English, Deutsch; nullptr when none does.
const TLanguageTable* FindLanguageTable(const std::string& language);

// The three tables, Hrvatski, English, Deutsch.
extern const TLanguageTable kLanguageTables[3];

} // namespace nomilo
