#pragma once

#include "browse/FileListModel.h"
#include "listing/FileType.h"
#include "listing/TreeWalk.h"
#include "rename/FileEntries.h"

#include <QColor>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPointer>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

namespace nomilo {

class TDirectoryListBox;

// The file list: the files of one folder (`FolderPath`) whose names match a wildcard `Mask`,
// sorted by the user's locale without regard to letter case (as the folder list sorts), drawn
// by the list itself with optional glyphs, with extended multiple selection. It keeps the
// process's current directory on its folder, so the rename batch can rename its entries by
// their bare names.
//
// Assistive technologies see it through TFileListAccessible.
//
// Beyond the design the list can include subfolders: it then shows the files of its folder and
// of every folder below it (WalkTree), folder by folder, each by its path in the folder, and
// the rename batch renames each in its own folder.
//
// Nothing is read until the list is first shown; from then on every change of folder, mask,
// file type or subfolder mode reads the folder again. A read clears all selection.
class TFileListBox : public QListView, public IFileEntries {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TFileListBox*)>;

    // Starts on the process's current directory (the home folder when that was removed) with
    // the mask "*.*", [ftNormal], single selection, 145 pixels wide, and reads nothing.
    explicit TFileListBox(QWidget* parent = nullptr);
    ~TFileListBox() override;

    // The absolute path of the folder shown. Assigning a path (absolute, or relative to the
    // folder shown) enters it and reads it; assigning the folder shown does nothing, also by a
    // spelling in other letter case, unless that spelling names another folder. Throws
    // EInOutError when the folder cannot be entered, and then changes nothing.
    const std::string& FolderPath() const { return folderPath_; }
    void SetFolderPath(const std::string& path);

    // Wildcard patterns separated by ";", each taken as it stands (spaces included).
    const std::string& Mask() const { return mask_; }
    void SetMask(const std::string& mask);

    TFileType FileType() const { return fileType_; }
    void SetFileType(TFileType fileType);

    // Whether the list shows the files of every folder below its folder too. The walk runs off
    // the window's thread (RunResponsively): while it takes long the list shows how far it has
    // come (`progressText` words it), and the window stays drawn and can be closed.
    bool IncludeSubfolders() const { return includeSubfolders_; }
    void SetIncludeSubfolders(bool include);
    void SetProgressText(std::function<QString(std::size_t folders, std::size_t files)> text);
    // The folders the last read of subfolders left out; fired after every such read that left
    // some out.
    const TTreeLeftOut& FoldersLeftOut() const { return foldersLeftOut_; }
    std::function<void(TFileListBox*, const TTreeLeftOut&)> OnFoldersLeftOut;

    // An edit field, not owned, that shows the current file name (or the mask) after every
    // change of the current entry.
    QLineEdit* FileEdit() const { return fileEdit_.data(); }
    void SetFileEdit(QLineEdit* edit);

    bool ShowGlyphs() const { return showGlyphs_; }
    void SetShowGlyphs(bool show);

    // The height of every entry in pixels. A change only lays the list out again: the entries
    // and their selection stay.
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int height);

    // Multiple selection (click, Ctrl+click, Shift+click, the arrow keys with Shift, Ctrl+A),
    // or one selected entry at most.
    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool multiSelect);

    // The background colour and the font colour of the entries. A change of the font colour is
    // a change of the font: the item height follows the font again.
    QColor Color() const;
    void SetColor(const QColor& color);
    QColor FontColor() const;
    void SetFontColor(const QColor& color);

    // The folder list linked to this list; set by the folder list, cleared when it goes.
    void SetFolderListLink(TDirectoryListBox* folderList);
    TDirectoryListBox* FolderListLink() const;

    // Fired by ListChanged.
    TNotifyEvent OnChange;
    // Fired when the user changes the selection, before ListChanged.
    TNotifyEvent OnClick;
    // Fired when the user double-clicks an entry.
    TNotifyEvent OnDblClick;

    // The item model. A bad index throws EListError "List index out of bounds (%d)" and changes
    // nothing.
    int EntryCount() const override;
    std::string EntryText(int index) const override;
    // A view of the list's buffer of texts, valid until the list changes.
    std::string_view EntryTextView(int index, std::string& copy) const override;
    bool IsEntrySelected(int index) const override;
    TEntryFolder EntryFolder(int index) const override;
    // The entry's path in the list's folder: its text, after its folder's path.
    std::string EntryPath(int index) const;
    // Raises no notification. Needs MultiSelect: a single-selection list refuses it with the
    // same error.
    void SetEntrySelected(int index, bool selected) override;
    // The entry keeps its index and glyph and ends up not selected; nothing is re-sorted or
    // re-read, and nothing is notified.
    void ReplaceEntryText(int index, const std::string& text) override;
    // The entry that has the focus, -1 for none.
    int CurrentIndex() const;
    // The path of the current entry when it is selected, else the empty text.
    std::string CurrentFileName() const;
    // The current index as ListChanged last reported it.
    int LastReportedIndex() const { return lastReportedIndex_; }

    // Clears the list and reads it again from FolderPath, Mask and FileType (entering the
    // folder), then runs ListChanged. Does nothing before the list is first shown. Throws
    // EInOutError when the folder cannot be entered, leaving the list as it was.
    virtual void RebuildEntries();
    // Records the current index, shows the current file name in FileEdit, fires OnChange.
    virtual void ListChanged();
    // Loads the executable, folder and unknown-file glyphs.
    virtual void LoadGlyphs();
    // Sets the item height to the font's line height, raised to fit the glyphs when shown.
    void UpdateItemHeight();

    // True once the list has been shown (and so has read its folder).
    bool HasWindow() const { return hasWindow_; }

    // Paints entry `index` into `option.rect`; `option.state` says whether it has the focus.
    void DrawItem(QPainter& painter, const QStyleOptionViewItem& option, int index) const;

    // The list model (for tests and views that need to watch it).
    const TFileListModel& Model() const { return *model_; }

    // What the next rename batch would do with each entry, one per entry in entry order, until
    // the next read: an entry it renames shows its new name in italics, an entry whose rename
    // it would refuse keeps its name and is marked; the tooltip tells the old name and the
    // reason. `refusalText` words a reason.
    // Answers the preview shown before, whose room may serve the next one.
    TPreview SetPreview(TPreview preview);
    void ClearPreview();
    void SetRefusalText(std::function<QString(TRefusal)> refusalText);

    // Whether the list's colours show every entry as selected (the window's selected-only mode
    // off, when Rename takes every entry). Assistive technologies then hear every entry as
    // selected, as the drawing says.
    bool ShownAllSelected() const { return shownAllSelected_; }
    void SetShownAllSelected(bool all);
    // The number of entries drawn as selected: every entry while ShownAllSelected, else the
    // selected ones. O(1).
    int ShownSelectedCount() const;
    // Selects or unselects entry `index` as the user's Ctrl+click does (a single-selection list
    // keeps no other entry selected), and fires OnClick.
    void SetEntrySelectedByUser(int index, bool selected);

signals:
    // How the entries are shown changed while the entries did not: the preview, or the look of
    // all entries selected.
    void ShownEntriesChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    // Runs after each item the directory search yields during a read.
    virtual void ItemSearched() {}

    QPixmap executableGlyph_;
    QPixmap folderGlyph_;
    QPixmap unknownFileGlyph_;

private:
    // Reads the folder and every folder below it into the list, off the window's thread.
    void ReadTree(const TNetworkMounts& network);
    // True when `path` names the folder shown (see SetFolderPath).
    bool IsFolderShown(const std::string& path) const;
    // A look through another mount changed what a link in `folder` counts as: when the list
    // shows that folder, it is read again, and the entries selected before (by their texts)
    // and the current one stay so.
    void LinkLooked(const std::string& folder);
    const QPixmap& Glyph(TEntryGlyph glyph) const;
    void CheckIndex(int index) const;

    void MoveCurrent(int row);
    // A selection gesture on entry `row` with the keys held, as a click or a key does it.
    void SelectByUser(int row, Qt::KeyboardModifiers modifiers);
    // The user changed the selection: OnClick, then ListChanged when the current entry moved.
    void UserChangedSelection();

    TFileListModel* model_;
    std::string folderPath_;
    std::string mask_ = "*.*";
    TFileType fileType_{ftNormal};
    QPointer<QLineEdit> fileEdit_;
    QPointer<TDirectoryListBox> folderListLink_;
    int lastReportedIndex_ = -1;
    bool showGlyphs_ = false;
    bool multiSelect_ = false;
    bool hasWindow_ = false;
    bool shownAllSelected_ = false;
    int itemHeight_ = 16;
    bool includeSubfolders_ = false;
    TTreeLeftOut foldersLeftOut_;
    // How far the walk under way has come, shown while it runs.
    std::shared_ptr<TTreeWalkProgress> walk_;
    QTimer walkShown_;
    std::function<QString(std::size_t, std::size_t)> progressText_;
    int anchor_ = -1;       // where Shift ranges start
    bool dragging_ = false; // the left button went down on an entry without Ctrl
};

} // namespace nomilo
