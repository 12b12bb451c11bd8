#pragma once

#include "browse/FolderListModel.h"
#include "platform/drives/Drives.h"

#include <QLabel>
#include <QListView>
#include <QPixmap>
#include <QPointer>
#include <QStyleOptionViewItem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nomilo {

class TDriveComboBox;
class TFileListBox;
class TSharedFolderRead;

// The folder list: the pane that owns the window's current folder (`FolderPath`). It shows the
// root, each folder on the way down to the current folder, the current folder, and then the
// visible subfolders of the current folder, each with its glyph and indented by depth. A double
// click or Enter opens the selected entry; a single click or the arrow keys only select.
//
// Every completed change of folder leaves the process's current directory at the new folder,
// passes the folder to the linked file list and label, and fires OnChange once. A change that
// fails raises EInOutError and leaves the folder, the entries, the file list and the current
// directory as they were.
class TDirectoryListBox : public QListView {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TDirectoryListBox*)>;

    // Starts on the process's current directory (the home folder when that was removed), 145
    // pixels wide. The entries are built when the list is first shown, or at once when a folder
    // is opened before that, and then not again at the show.
    explicit TDirectoryListBox(QWidget* parent = nullptr);
    ~TDirectoryListBox() override;

    // The absolute path of the current folder, as the current-directory query spells it.
    const std::string& FolderPath() const { return folderPath_; }
    // Opens the folder `target` leads to (SplitTargetPath): a folder, the folder of a file or
    // of a wildcard pattern, a name relative to the current directory, "[name]". An empty
    // target, or the current folder itself, changes nothing. A folder on another drive moves
    // the linked drive selector to that drive too. Throws EInOutError when the folder cannot be
    // entered, changing nothing.
    virtual void SetFolderPath(const std::string& target);

    // The drive of the current folder: the mount point of the drive that holds it.
    const std::string& DriveLetter() const { return driveLetter_; }
    // Makes the drive mounted at `mountPoint` current, at its own current folder (the folder
    // last entered on it, else its mount point). Nothing happens for the current drive. An
    // empty mountPoint changes no folder. Throws EInOutError when the drive cannot be entered.
    void SwitchDrive(const std::string& mountPoint);

    // The file list that follows this folder list, not owned; linked both ways.
    TFileListBox* FileList() const;
    void SetFileList(TFileListBox* fileList);
    // A label, not owned, that shows the current folder shortened to fit; updated at once.
    QLabel* DirLabel() const { return dirLabel_.data(); }
    void SetDirLabel(QLabel* label);
    // The drive selector driving this list; set by the selector's SetDirList only.
    TDriveComboBox* DriveComboLink() const;
    void SetDriveComboLink(TDriveComboBox* driveCombo);

    // How the volume of the current folder treats letter case (from its file-system type).
    bool VolumeKeepsCase() const { return volumeKeepsCase_; }
    bool VolumeCaseSensitive() const { return volumeCaseSensitive_; }
    // True only while SetFolderPath is switching the drive.
    bool InFolderChange() const { return inFolderChange_; }

    // The full path entry `index` stands for; empty for an index outside the list.
    std::string EntryPath(int index) const;
    // Opens the selected entry (SetFolderPath with its EntryPath).
    void OpenSelectedEntry();
    // Builds all entries from FolderPath and selects the current folder's entry. Subfolders are
    // sorted by the locale, letter case ignored; every distinct name is listed, except on a
    // volume that ignores case, where one of names the locale finds equal stands for all.
    virtual void RebuildEntries();
    // Passes FolderPath to the file list and the label, then fires OnChange.
    virtual void FolderChanged();
    // Makes `path` (absolute, or relative to the current folder) the current folder, rebuilds
    // the entries and runs FolderChanged. Throws EInOutError when it cannot be entered, and
    // then FolderPath and the entries stay as they were.
    void EnterFolder(const std::string& path);
    // The text drawn for an entry: lower-cased when the volume neither keeps nor tells case.
    std::string ShownName(std::string_view text) const;
    // Compares two paths as the current volume does: negative, zero or positive. Texts that
    // differ byte for byte are equal only when the locale finds them so and both are UTF-8.
    int CompareFolderNames(const std::string& a, const std::string& b) const;
    // The entry height: the font's line height, at least one more than the glyph height.
    void UpdateItemHeight();
    // Loads the "OPENFOLDER", "CLOSEDFOLDER" and "CURRENTFOLDER" glyphs.
    virtual void LoadGlyphs();

    // The height of every entry in pixels. A change lays the list out again and, once shown,
    // rebuilds the entries (the current folder's entry is selected again).
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int height);

    // The drives come from `sources` from now on instead of the machine's own.
    void SetDriveSources(TDriveSources sources);
    // The drives this list works with: the machine's, or those of SetDriveSources.
    std::vector<TDrive> Drives() const;
    // The mount points of those sources that a look must not wait on (RemoteMountPoints).
    std::vector<std::string> RemoteMountPoints() const;

    // Entries.
    int EntryCount() const { return model_->Count(); }
    const TFolderEntry& Entry(int index) const { return model_->Entry(index); }
    std::string_view EntryText(int index) const { return model_->Text(index); }
    // The selected entry, -1 for none.
    int CurrentIndex() const;
    // Selects entry `index` as a click does, but raises nothing.
    void SelectEntry(int index);
    // Where the glyph of entry `index` is drawn, from the entry's left edge.
    int EntryIndent(int index) const;
    // Paints entry `index` into `option.rect`; `option.state` says whether it is selected and
    // whether it has the focus.
    void DrawItem(QPainter& painter, const QStyleOptionViewItem& option, int index) const;
    // True once the list has been shown.
    bool HasWindow() const { return hasWindow_; }

    // Fired after every change of folder.
    TNotifyEvent OnChange;
    // Fired when the user selects an entry (click, arrow keys).
    TNotifyEvent OnClick;
    // Fired on a double click, before the selected entry is opened.
    TNotifyEvent OnDblClick;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    QPixmap openGlyph_;
    QPixmap closedGlyph_;
    QPixmap currentGlyph_;

private:
    // Takes the drive and its letter-case behaviour for FolderPath from `drives`, and records
    // FolderPath as that drive's own folder.
    void FollowDrive(const std::vector<TDrive>& drives);
    // After a change of folder: the entries, then FolderChanged.
    void ShowFolder();
    // True when `target` names the current folder (see SetFolderPath).
    bool IsFolderShown(const std::string& target) const;
    const QPixmap& Glyph(TFolderEntryKind kind) const;
    void UpdateDirLabel();
    // A look through another mount changed what a link in `folder` counts as: when that is
    // the current folder, the entries are built again, the selected one staying selected.
    void LinkLooked(const std::string& folder);

    TFolderListModel* model_;
    std::string folderPath_;
    std::string driveLetter_;
    QPointer<TFileListBox> fileList_;
    QPointer<QLabel> dirLabel_;
    QPointer<TDriveComboBox> driveCombo_;
    std::optional<TDriveSources> driveSources_;
    bool volumeKeepsCase_ = true;
    bool volumeCaseSensitive_ = true;
    bool inFolderChange_ = false;
    bool hasWindow_ = false;
    int currentEntry_ = -1; // the current folder's entry; -1 before the entries are built
    std::unique_ptr<TSharedFolderRead> startRead_; // a folder opened before the first show
    int itemHeight_ = 16;
};

} // namespace nomilo
