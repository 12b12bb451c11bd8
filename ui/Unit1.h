#pragma once

#include "platform/store/RegistryStore.h"
#include "rename/RenameBatch.h"
#include "settings/StartSelection.h"
#include "ui/LanguageTables.h"

#include <QSize>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

class QAction;
class QCheckBox;
class QFrame;
class QLineEdit;
class QMenu;
class QPushButton;

namespace nomilo {

class TCoolBar;
class TDirectoryListBox;
class TDriveComboBox;
class TDetailsButtonTexts;
class TFileListBox;
class TLeftOutFolders;
class TNewNamesPreview;
class TRuleSwitches;
class TListFacts;
class TSplitter;
class TTakenFilesDescription;
class TToolBar;

// Program-wide values of the main window's module. The three texts are empty at program start;
// the language tables fill the failure text and the shell label (UTF-8 bytes).
extern std::string CurrentLanguage; // "Hrvatski", "English", "Deutsch", or whatever was stored
extern std::string FailureText;     // the rename batch's failure message
extern std::string ShellLabel;      // the label the shell verb gets at exit
// The window's outer width as the resize rule last saw it.
extern std::int32_t PreviousWidth;
// The texts of the features beyond the design in the current language: the English ones until
// a language table is applied.
extern TFeatureTexts FeatureTexts;

// The resize rule's arithmetic: `paneWidth` * `outerWidth` / `previousWidth` in signed 32-bit
// integers, the product first and wrapped to 32 bits as such arithmetic does, the quotient
// truncated toward zero (and wrapped, for the one quotient that overflows). `previousWidth`
// must not be 0.
std::int32_t ScaledPaneWidth(std::int32_t paneWidth, std::int32_t outerWidth,
                             std::int32_t previousWidth);

// The main window: the folder list on the left, the file list, and three rows along the bottom
// (drive and mask; find and replace; the tool bar with the rename button, the swap button and
// the two switches), with the context menu PopupMenu1. Beyond the design the menu ends with the
// preview of new names, the undo of the last batch (also Ctrl+Z in the file list), and the
// switches of the rename rule: regular expression, every occurrence, numbering. Shift+F10
// opens the context menu as the Menu key does. Assistive technologies see the window as a frame
// named by its caption, and every control by a name in the current language.
//
// The constructor builds the layout and runs FormCreate; the destructor runs FormDestroy. Every
// handler runs inside the application's error guard. The settings and the shell verb live in
// `store` (the user's own by default); `startFolder` is the folder the folder list opens on (the
// empty text: where it starts by itself). The undo journal lives at JournalFile::DefaultPath().
//
// Beyond the design the window can start on a selection: it opens on the selection's folder,
// selects its names once the file list has read the folder, and renames only the selected
// entries in this run (the stored value of the switch changes only when the user switches it).
// The paths left out are named in a message as soon as the window shows.
class TForm1 : public QWidget {
public:
    explicit TForm1(RegistryStore& store = RegistryStore::Default(), std::string startFolder = {},
                    QWidget* parent = nullptr);
    TForm1(RegistryStore& store, TStartSelection selection, QWidget* parent = nullptr);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // The controls of the layout, named as in it.
    TDirectoryListBox* DirectoryListBox1;
    TSplitter* Splitter1;
    TFileListBox* FileListBox1;
    QFrame* Panel5;
    QFrame* Panel6;
    TCoolBar* CoolBar3;
    TDriveComboBox* DriveComboBox1;
    TSplitter* Splitter3;
    QFrame* Panel7;
    TCoolBar* CoolBar4;
    QLineEdit* eMask;
    QFrame* Panel1;
    QFrame* Panel2;
    TCoolBar* CoolBar1;
    QLineEdit* eFind;
    TSplitter* Splitter2;
    QFrame* Panel3;
    TCoolBar* CoolBar2;
    QLineEdit* eReplace;
    TToolBar* ToolBar1;
    QPushButton* Button1;
    QPushButton* Button2;
    QWidget* Panel4;
    QCheckBox* CheckBox1;
    QCheckBox* CI;

    // The context menu and its items, in order.
    QMenu* PopupMenu1;
    QAction* Hrvatski1;
    QAction* English1;
    QAction* Deutsch1;
    QAction* N1;
    QAction* ShellIntegration1;
    QAction* RemoveShellIntegration1;
    QAction* Options1;
    QAction* RenameSel;
    QAction* N2;
    QAction* About1;
    // Beyond the design.
    QAction* N3;
    QAction* ShowNewNames1;
    QAction* UndoLastRename1;
    // The switches of the rename rule end the menu.
    TRuleSwitches* RuleSwitches1;

    // Handlers.
    void FormCreate();
    void FormDestroy();
    void FormResize();
    void Button1Click();
    void Button2Click();
    void CheckBox1Click();
    void eMaskChange();
    void RenameSelClick();
    void PopupMenu1Popup();
    void About1Click();
    void Hrvatski1Click();
    void English1Click();
    void Deutsch1Click();
    void ShellIntegration1Click();
    void RemoveShellIntegration1Click();
    void ShowNewNames1Click();
    void UndoLastRename1Click();
    // After the user switched a part of the rename rule.
    void RuleSwitchClick();

    // Gives the file list the colours of selected-only mode: the window's own when only the
    // selected entries are renamed, the selection's when all are.
    void UpdateFileListColors();
    // Sets the texts of the current language's table, if it has one, and makes the
    // application title the window caption.
    void ApplyLanguage();
    // Names the controls for assistive technologies in the texts given, and describes the file
    // list by selected-only mode.
    void ApplyAccessibleTexts(const TAccessibleTexts& texts);
    // Opens the context menu of the control with the keyboard focus at that control (at the
    // current entry of a list), as the Menu key does: Shift+F10.
    void ContextMenuKey();
    // Moves the window onto the available area of the screen it mostly lies on, shrinking it
    // only where it does not fit (the designed first place or a stored one from another screen).
    void FitOntoScreen();
    // The stored settings, read while the window is created and written when it is destroyed.
    void LoadSettings();
    void SaveSettings();

    // The window's outer (frame) bounds, which the settings keep. Before the window system has
    // framed the window they are its inner bounds.
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int left);
    void SetTop(int top);
    void SetWidth(int width);
    void SetHeight(int height);

    RegistryStore& SettingsStore() const { return store_; }

    // What the next press of Rename renames with, read from the window.
    TRenameInputs RenameInputs() const;
    // The preview of new names in the file list.
    TNewNamesPreview& NewNamesPreview() const { return *preview_; }
    // Enables the undo item when the journal holds something to take back, or a trouble of the
    // journal the user has not heard of yet (the item then tells it).
    void UpdateUndoItem();
    // Whether the journal's folder answers at once; one on a server that does not answer is
    // never waited for.
    bool JournalAnswers() const;
    // Builds the rule the next press of Rename renames by and shows in the find or replace
    // field what keeps it from renaming (a red frame, the reason in the field's hint); the
    // replace field's hint explains the counters and groups while their switches are on.
    void CheckRenameRule();

protected:
    bool event(QEvent* event) override;
    // Closed while a wait on the file system draws the window, the program ends: the wait is
    // given up.
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    TForm1(RegistryStore& store, std::string startFolder, std::optional<TStartSelection> selection,
           QWidget* parent);
    void BuildLayout();
    void ConnectHandlers();
    void SetOuterSize(QSize outer);
    // Tells assistive technologies which files Rename takes, as the list's colours show it,
    // and how many.
    void DescribeFileList();
    // Once the window system tells the frame's size, gives the window back the outer size it
    // was given before; answers whether it did.
    bool KeepOuterSize();

    // Shows the failure message of a batch or an undo with the refused renames as details.
    void ShowFailure(const std::vector<TRefusedRename>& refused);
    // Selects the start selection's names in the file list, which has read the folder, and
    // names the paths left out once the message loop runs.
    void SelectStartEntries();
    // Makes the start selection's entries the ones renamed in this run, where its folder was
    // `opened`; none where it could not be.
    void TakeStartSelection(bool opened);
    // Says that the start folder did not answer, then opens it as a folder the user picked (and
    // sorts out and selects the start selection in it).
    void OpenLateStartFolder();
    // Says why Rename renamed nothing.
    void ShowRuleError(const TRuleError& error);

    RegistryStore& store_;
    std::string startFolder_;
    std::optional<TStartSelection> selection_; // until the window first shows
    // The start folder while it waits to be opened because it did not answer at once.
    std::optional<std::string> lateStartFolder_;
    // The stored value of selected-only mode while a start selection overrides it for the run;
    // empty once the user switches the mode.
    std::optional<bool> storedRenameSel_;
    std::string journalPath_;
    // What the undo item no longer offers: batches whose journal may stand in for a later batch
    // that could not keep one, and journal troubles the user has been told of (by the keys of
    // LastBatch).
    std::set<std::string> notOffered_;
    // A batch renamed files while the journal's folder did not answer: the journal there may
    // stand for a batch before it, so nothing is offered until a batch keeps its journal.
    bool undoWithheld_ = false;
    TNewNamesPreview* preview_ = nullptr;
    TTakenFilesDescription* takenFiles_ = nullptr;
    TListFacts* listFacts_ = nullptr; // the facts the rule's fields need
    std::unique_ptr<TDetailsButtonTexts> detailsButtonTexts_;
    // The folders reads of subfolders left out that the user has been told of.
    std::unique_ptr<TLeftOutFolders> leftOutFolders_;
    TAccessibleTexts accessibleTexts_ = kLanguageTables[1].accessible;
    // The hints of the find and replace fields in the current language, which CheckRenameRule
    // adds to.
    QString findHint_;
    QString replaceHint_;
    std::optional<TRenameRule> rule_; // as CheckRenameRule last built it
    // An outer size set before the window system told the frame's size; set again as soon as
    // the frame is known, so that the outer size the settings keep is the one they restore.
    std::optional<QSize> outerSizeToKeep_;
};

// The main window of the program.
extern TForm1* Form1;

} // namespace nomilo
